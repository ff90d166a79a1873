// quorvane-testserver: a TDS server on 127.0.0.1 backed by SQLite files.

#include "Browser.h"
#include "Options.h"
#include "ProgramInfo.h"
#include "Server.h"
#include "engine/EngineApi.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <iostream>
#include <unistd.h>

namespace {

int g_stopPipe[2] = {-1, -1};

void onSignal(int)
{
    const char c = 0;
    (void)!::write(g_stopPipe[1], &c, 1);
}

} // namespace

int main(int argc, char **argv)
{
    std::string error;
    const auto options = qts::parseOptions(std::vector<std::string>(argv + 1, argv + argc), error);
    if (!options) {
        std::cerr << "quorvane-testserver: " << error << "\n" << qts::kUsage;
        return 2;
    }
    if (options->help) {
        std::cout << qts::kUsage;
        return 0;
    }
    if (options->version) {
        std::cout << "quorvane-testserver " QUORVANE_VERSION "\n";
        return 0;
    }
    if (options->logins.passwords.empty())
        std::cerr << "quorvane-testserver: no --login given, every login will be refused\n";
    qts::ServerSettings settings;
    settings.logins = options->logins;
    settings.version = options->serverVersion;
    settings.forceEncryption = options->forceEncryption;
    settings.packetSize = options->packetSize;
    if (!options->tlsCert.empty()) {
        settings.tls = qts::TlsContext::load(options->tlsCert, options->tlsKey, error);
        if (!settings.tls) {
            std::cerr << "quorvane-testserver: " << error << "\n";
            return 1;
        }
    }

    std::string dataDir = options->dataDir;
    bool temporary = false;
    if (dataDir.empty()) {
        std::string pattern = (std::filesystem::temp_directory_path() / "quorvane-testserver-XXXXXX").string();
        if (!::mkdtemp(pattern.data())) {
            std::perror("quorvane-testserver: mkdtemp");
            return 1;
        }
        dataDir = pattern;
        temporary = true;
    } else {
        std::error_code ec;
        std::filesystem::create_directories(dataDir, ec);
    }

    if (::pipe2(g_stopPipe, O_CLOEXEC) != 0) {
        std::perror("quorvane-testserver: pipe");
        return 1;
    }
    struct sigaction sa{};
    sa.sa_handler = onSignal;
    sigemptyset(&sa.sa_mask);
    ::sigaction(SIGINT, &sa, nullptr);
    ::sigaction(SIGTERM, &sa, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    int status = 0;
    {
        std::unique_ptr<qts::Engine> engine;
        try {
            engine = qts::createEngine(dataDir, options->demo, *options->serverVersion);
        } catch (const std::exception &e) {
            std::cerr << "quorvane-testserver: cannot open the databases in " << dataDir << ": " << e.what() << "\n";
            status = 1;
        }
        if (engine) {
            qts::Server server(*engine, settings);
            qts::Browser browser;
            if (!server.listen(options->port)) {
                std::cerr << "quorvane-testserver: " << server.errorText() << "\n";
                status = 1;
            } else if (options->browserPort && !browser.start(*options->browserPort, server.port(), error, options->serverVersion->productVersion)) {
                std::cerr << "quorvane-testserver: " << error << "\n";
                status = 1;
            } else {
                std::printf("listening on 127.0.0.1:%u\n", unsigned(server.port()));
                std::fflush(stdout);
                server.serve(g_stopPipe[0]);
            }
            browser.stop();
            server.shutdownConnections();
        }
    }
    if (temporary) {
        std::error_code ec;
        std::filesystem::remove_all(dataDir, ec);
    }
    return status;
}
