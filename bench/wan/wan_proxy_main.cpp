// wan_proxy LISTEN-PORT TARGET-PORT ONE-WAY-DELAY-MS: the delaying proxy on its
// own, to put any client (cot-host --server http://127.0.0.1:LISTEN-PORT)
// behind a slow link. Loopback only. Runs until interrupted.
#include "wan_proxy.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <unistd.h>

int main(int argc, char **argv) {
    if (argc != 4) {
        std::fprintf(stderr, "Uso: wan_proxy PORTA-LOCAL PORTA-DO-SERVIDOR ATRASO-MS (em cada sentido; só 127.0.0.1)\n");
        return 2;
    }
    WanProxy proxy(std::atoi(argv[2]), std::atoi(argv[3]), std::atoi(argv[1]));
    if (proxy.port() == 0) {
        std::fprintf(stderr, "Não foi possível escutar na porta %s.\n", argv[1]);
        return 1;
    }
    std::printf("127.0.0.1:%d -> 127.0.0.1:%s, %s ms em cada sentido\n", proxy.port(), argv[2], argv[3]);
    std::fflush(stdout);
    sigset_t set;
    sigemptyset(&set);
    sigaddset(&set, SIGINT);
    sigaddset(&set, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &set, nullptr);
    int sig = 0;
    sigwait(&set, &sig);
    return 0;
}
