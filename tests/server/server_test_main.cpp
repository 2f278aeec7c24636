// main() of the server tests: the database drivers are Qt plugins and need a
// QCoreApplication.
#include <QCoreApplication>
#include <csignal>
#include <gtest/gtest.h>

int main(int argc, char **argv) {
    std::signal(SIGPIPE, SIG_IGN);
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
