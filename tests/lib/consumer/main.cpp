// Asks a one-thread pipe service "ping" and expects "pong", as the installation's programs talk.
#include <qxclass/CNamedPipe.h>
#include <qxclass/CPipeService.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <thread>

static void answer(CPipeService* service) {
    if (!service->WaitForConn())
        return;
    CNamedPipe* pipe = service->Pipe();
    char request[64];
    if (pipe->ReadString(request, sizeof request, nullptr, 50))  // up to 5 s
        pipe->WriteString(std::strcmp(request, "ping") == 0 ? "pong" : "what?");
    service->WaitForDisconn(5000);
}

int main() {
    CPipeService service("example", 1, &answer, 0);
    service.Start();

    CNamedPipe client;
    client.InitClient(nullptr, "example");
    // The pipe exists once the service thread has made its instance.
    int connected = 0;
    for (int tries = 0; tries < 100 && !connected; ++tries) {
        connected = client.Connect(1, nullptr, 50);
        if (!connected)
            std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    char reply[64] = "";
    int ok = connected && client.WriteString("ping") && client.ReadString(reply, sizeof reply, nullptr, 50);
    client.Disconnect();
    service.Stop(5000, 1);

    std::printf("%s\n", ok ? reply : "no answer");
    return ok && std::strcmp(reply, "pong") == 0 ? 0 : 1;
}
