#include "SendfileClient.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <sys/sendfile.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

constexpr int ReplyReadBytes = 4096;

int fail(const char *what)
{
    std::fprintf(stderr, "sendfile client: %s: %s\n", what, std::strerror(errno));
    return 1;
}

} // namespace

int SendfileClient::main(int argc, char *argv[])
{
    if (argc != 5) {
        std::fprintf(stderr, "usage: %s sendfile PORT PATH HEAD\n", argv[0]);
        return 2;
    }
    const int file = ::open(argv[3], O_RDONLY | O_CLOEXEC);
    struct stat info {};
    if (file < 0 || ::fstat(file, &info) != 0)
        return fail("open");
    const int connection = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    address.sin_port = htons(uint16_t(std::atoi(argv[2])));
    if (connection < 0 || ::connect(connection, reinterpret_cast<sockaddr *>(&address), sizeof address) != 0)
        return fail("connect");

    const std::string head = argv[4];
    if (::send(connection, head.data(), head.size(), MSG_NOSIGNAL) != ssize_t(head.size()))
        return fail("send");
    off_t offset = 0;
    while (offset < info.st_size) {
        if (::sendfile(connection, file, &offset, size_t(info.st_size - offset)) <= 0)
            return fail("sendfile");
    }

    std::string reply;
    char buffer[ReplyReadBytes];
    ssize_t n;
    while ((n = ::recv(connection, buffer, sizeof buffer, 0)) > 0)
        reply.append(buffer, size_t(n));
    if (n < 0)
        return fail("recv");
    // "HTTP/1.x 2"
    if (reply.size() < 10 || reply.compare(0, 7, "HTTP/1.") != 0 || reply[9] != '2') {
        std::fprintf(stderr, "sendfile client: the server answered '%s'\n", reply.substr(0, reply.find('\r')).c_str());
        return 1;
    }
    return 0;
}
