#pragma once

// The benchmark's sub-command that sends a request head and then lets the kernel send the
// file itself with sendfile(2): what the loopback interface carries at best.
namespace SendfileClient {

// argv: PROGRAM sendfile PORT PATH HEAD. Returns 0 when the server answered 2xx.
int main(int argc, char *argv[]);

} // namespace SendfileClient
