// The ceiling of the HTTP layer: libmicrohttpd with the server's own flags
// (epoll event threads) answering every request with one constant JSON reply,
// no worker hand-off, no database. The application server's figures are read
// against this one, measured in the same run.
//
//   bench_bare_mhd PORT [EVENT_THREADS]

#include <microhttpd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>
#include <unistd.h>

namespace {

const char kReply[] = R"({"jsonrpc":"2.0","id":1,"result":{"data":null,"params":[]}})";

MHD_Result answer(void *, MHD_Connection *connection, const char *, const char *, const char *, const char *, size_t *uploadSize,
                  void **slot) {
    if (!*slot) {  // headers in: wait for the body
        *slot = reinterpret_cast<void *>(1);
        return MHD_YES;
    }
    if (*uploadSize) {  // body: read and dropped
        *uploadSize = 0;
        return MHD_YES;
    }
    MHD_Response *r = MHD_create_response_from_buffer(sizeof kReply - 1, const_cast<char *>(kReply), MHD_RESPMEM_PERSISTENT);
    MHD_add_response_header(r, MHD_HTTP_HEADER_CONTENT_TYPE, "application/json");
    const MHD_Result rc = MHD_queue_response(connection, MHD_HTTP_OK, r);
    MHD_destroy_response(r);
    return rc;
}

}  // namespace

int main(int argc, char **argv) {
    if (argc < 2) {
        std::fprintf(stderr, "uso: bench_bare_mhd PORTA [THREADS_DE_EVENTOS]\n");
        return 2;
    }
    const unsigned threads = argc > 2 ? unsigned(std::atoi(argv[2])) : std::thread::hardware_concurrency();
    MHD_Daemon *d = MHD_start_daemon(MHD_USE_EPOLL_INTERNAL_THREAD | MHD_USE_TURBO, uint16_t(std::atoi(argv[1])), nullptr, nullptr, &answer,
                                     nullptr, MHD_OPTION_THREAD_POOL_SIZE, threads, MHD_OPTION_CONNECTION_LIMIT, 8192u,
                                     MHD_OPTION_LISTEN_BACKLOG_SIZE, 4096u, MHD_OPTION_END);
    if (!d) return 1;
    std::printf("bench_bare_mhd escutando em 127.0.0.1:%d\n", std::atoi(argv[1]));
    std::fflush(stdout);
    sigset_t s;
    sigemptyset(&s);
    sigaddset(&s, SIGTERM);
    sigaddset(&s, SIGINT);
    sigprocmask(SIG_BLOCK, &s, nullptr);
    int sig = 0;
    sigwait(&s, &sig);
    MHD_stop_daemon(d);
    return 0;
}
