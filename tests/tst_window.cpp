// placeholder until the window tests are written
