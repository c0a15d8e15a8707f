#pragma once

// The benchmark's sub-command that uploads one file through the window's send command and
// HTTP component, in a process of its own so that its peak memory belongs to this upload.
namespace ComponentClient {

// The event loop is sampled this often; a late tick is time the window could not react.
constexpr int TickIntervalMs = 5;

// argv: PROGRAM component BASE_URL PATH NAME. Prints "peak_rss_kib=N loop_gap_us=N" and
// returns 0 when the upload succeeded.
int main(int argc, char *argv[]);

} // namespace ComponentClient
