// A client program of a pipe service for the tests: sends MESSAGE to pipe NAME and expects EXPECTED
// back. Exit code 0 when the expected answer came, 1 when none came, 2 when another did, 3 for usage.
#include <qxclass/CNamedPipe.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <thread>

int main(int argc, char** argv) {
    if (argc != 4)
        return 3;
    CNamedPipe pipe;
    pipe.InitClient(nullptr, argv[1]);
    // Until the service has made its instances the pipe does not exist, which Connect reports at once;
    // busy instances it waits for (up to a minute).
    auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
    while (!pipe.Connect(1, nullptr, 600)) {
        if (std::chrono::steady_clock::now() > deadline)
            return 1;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    char reply[256];
    if (!pipe.WriteString(argv[2]) || !pipe.ReadString(reply, sizeof reply, nullptr, 600))
        return 1;
    pipe.Disconnect();
    if (std::strcmp(reply, argv[3]) != 0) {
        std::fprintf(stderr, "got \"%s\"\n", reply);
        return 2;
    }
    return 0;
}
