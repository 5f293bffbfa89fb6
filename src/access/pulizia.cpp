#include "pulizia.h"

#include <QFile>

#include <atomic>
#include <csignal>
#include <cstring>
#include <unistd.h>

namespace corvale::access {

namespace {

constexpr int kSuffissi = 4;
constexpr size_t kLunghezza = 4096;
const char* const kSuffisso[kSuffissi] = {"", "-wal", "-shm", "-journal"};

// The listed paths, written before their slot is marked taken, so that the handler reads only
// whole paths.
struct Posto {
    std::atomic<bool> preso{false};
    std::atomic<bool> pronto{false};
    char path[kSuffissi][kLunghezza];
};

Posto posti[kMaxProvvisori];

extern "C" void suInterruzione(int segnale)
{
    for (Posto& p : posti)
        if (p.pronto.load())
            for (int k = 0; k < kSuffissi; ++k)
                ::unlink(p.path[k]);
    std::signal(segnale, SIG_DFL);
    std::raise(segnale);
}

}  // namespace

FileProvvisorio::FileProvvisorio(const QString& path)
{
    const QByteArray base = QFile::encodeName(path);
    if (base.size() + 16 >= qsizetype(kLunghezza))
        return;
    for (int i = 0; i < kMaxProvvisori; ++i) {
        bool libero = false;
        if (!posti[i].preso.compare_exchange_strong(libero, true))
            continue;
        for (int k = 0; k < kSuffissi; ++k) {
            std::memcpy(posti[i].path[k], base.constData(), size_t(base.size()));
            std::strcpy(posti[i].path[k] + base.size(), kSuffisso[k]);
        }
        posti[i].pronto.store(true);
        posto_ = i;
        return;
    }
}

FileProvvisorio::~FileProvvisorio()
{
    if (posto_ < 0)
        return;
    posti[posto_].pronto.store(false);
    posti[posto_].preso.store(false);
}

void InstallaPuliziaAllInterruzione()
{
    for (int segnale : {SIGINT, SIGTERM, SIGHUP}) {
        struct sigaction sa {};
        sa.sa_handler = suInterruzione;
        sigemptyset(&sa.sa_mask);
        sa.sa_flags = SA_RESETHAND;
        sigaction(segnale, &sa, nullptr);
    }
}

}  // namespace corvale::access
