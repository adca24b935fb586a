// A TCP proxy on the loopback that delays every byte by the same time in
// each direction, as a network would: the benchmark mounts a share through
// it. Bytes keep their order and the delay does not limit the throughput:
// each chunk read is written once its time has come.
//
//   latency_proxy LISTEN_PORT TARGET_PORT MICROSECONDS
//
// Serves connections until killed, each with two threads per direction.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

struct Chunk {
    Clock::time_point due;
    std::vector<char> bytes;
};

// One direction of a connection: what was read and waits for its time.
struct Direction {
    Direction(int from_fd, int to_fd, std::chrono::microseconds wait) : from(from_fd), to(to_fd), delay(wait) {}
    int from;
    int to;
    std::chrono::microseconds delay;
    std::mutex mutex;
    std::condition_variable wake;
    std::deque<Chunk> waiting;
    bool ended = false;
};

void read_side(Direction* d)
{
    char buffer[64 * 1024];
    for (;;) {
        const ssize_t got = read(d->from, buffer, sizeof buffer);
        const std::lock_guard<std::mutex> hold(d->mutex);
        if (got <= 0) {
            d->ended = true;
            d->wake.notify_one();
            return;
        }
        d->waiting.push_back({Clock::now() + d->delay, std::vector<char>(buffer, buffer + got)});
        d->wake.notify_one();
    }
}

void write_side(Direction* d)
{
    std::unique_lock<std::mutex> hold(d->mutex);
    for (;;) {
        d->wake.wait(hold, [d] { return !d->waiting.empty() || d->ended; });
        if (d->waiting.empty()) break;
        const Clock::time_point due = d->waiting.front().due;
        hold.unlock();
        std::this_thread::sleep_until(due);
        hold.lock();
        Chunk chunk = std::move(d->waiting.front());
        d->waiting.pop_front();
        hold.unlock();
        for (size_t done = 0; done < chunk.bytes.size();) {
            const ssize_t put = write(d->to, chunk.bytes.data() + done, chunk.bytes.size() - done);
            if (put <= 0) break;
            done += static_cast<size_t>(put);
        }
        hold.lock();
    }
    shutdown(d->to, SHUT_WR);
}

sockaddr_in loopback(int port)
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(static_cast<uint16_t>(port));
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

void no_delay(int fd)
{
    const int on = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
}

void serve(int client, int target_port, std::chrono::microseconds delay)
{
    const int server = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const sockaddr_in address = loopback(target_port);
    if (server < 0 || connect(server, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        perror("latency_proxy: connect");
        close(client);
        if (server >= 0) close(server);
        return;
    }
    no_delay(client);
    no_delay(server);
    Direction up(client, server, delay);
    Direction down(server, client, delay);
    std::thread threads[] = {std::thread(read_side, &up), std::thread(write_side, &up),
                             std::thread(read_side, &down), std::thread(write_side, &down)};
    for (std::thread& thread : threads) thread.join();
    close(client);
    close(server);
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 4) {
        fputs("usage: latency_proxy LISTEN_PORT TARGET_PORT MICROSECONDS\n", stderr);
        return 2;
    }
    const int listen_port = atoi(argv[1]);
    const int target_port = atoi(argv[2]);
    const std::chrono::microseconds delay(atol(argv[3]));
    const int listener = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    const int on = 1;
    setsockopt(listener, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    const sockaddr_in address = loopback(listen_port);
    if (listener < 0 || bind(listener, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
        listen(listener, 16) != 0) {
        perror("latency_proxy: listen");
        return 1;
    }
    for (;;) {
        const int client = accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
        if (client < 0) continue;
        std::thread(serve, client, target_port, delay).detach();
    }
}
