/* The least a control client can do, as the yardstick for orvel's start-up and round trip:
 * connect to the socket named by argv[1], write one request, end the sending side, read the
 * reply to its end. Exits 0 when a reply arrived. */

#include <stddef.h>
#include <string.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

int main(int argc, char** argv) {
    static const char request[] = "{\"command\":\"tvs\"}\n";
    struct sockaddr_un address;
    char buffer[4096];
    size_t total = 0;
    ssize_t got;
    int fd;
    if (argc < 2 || strlen(argv[1]) >= sizeof address.sun_path) return 2;
    memset(&address, 0, sizeof address);
    address.sun_family = AF_UNIX;
    strcpy(address.sun_path, argv[1]);
    fd = socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0 || connect(fd, (const struct sockaddr*)&address, sizeof address) != 0) return 3;
    if (send(fd, request, sizeof request - 1, MSG_NOSIGNAL) != (ssize_t)(sizeof request - 1))
        return 1;
    shutdown(fd, SHUT_WR);
    while ((got = read(fd, buffer, sizeof buffer)) > 0) total += (size_t)got;
    close(fd);
    return total > 0 ? 0 : 1;
}
