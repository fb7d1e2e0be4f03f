#include "platform/QuitSignals.h"

#include <QSocketNotifier>
#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <unistd.h>

namespace {
constexpr int handled[] = {SIGTERM, SIGINT, SIGHUP};
volatile sig_atomic_t writeFd = -1;

// Only async-signal-safe work here: one byte into the pipe.
void onSignal(int signalNumber)
{
    const int saved = errno;
    const unsigned char byte = static_cast<unsigned char>(signalNumber);
    if (writeFd >= 0) {
        // A full pipe already holds a request; nothing more to say.
        const ssize_t n = ::write(writeFd, &byte, 1);
        static_cast<void>(n);
    }
    errno = saved;
}

void setAction(void (*handler)(int))
{
    struct sigaction sa {};
    sa.sa_handler = handler;
    sigemptyset(&sa.sa_mask);
    sa.sa_flags = SA_RESTART;
    for (int s : handled)
        ::sigaction(s, &sa, nullptr);
}
} // namespace

QuitSignals::QuitSignals(QObject *parent) : QObject(parent)
{
    int fds[2];
    if (::pipe2(fds, O_CLOEXEC | O_NONBLOCK) != 0)
        return; // the default actions stay
    readFd_ = fds[0];
    writeFd = fds[1];
    notifier_ = new QSocketNotifier(readFd_, QSocketNotifier::Read, this);
    connect(notifier_, &QSocketNotifier::activated, this, &QuitSignals::readPending);
    setAction(&onSignal);
}

QuitSignals::~QuitSignals()
{
    setAction(SIG_DFL);
    if (readFd_ < 0)
        return;
    const int w = writeFd;
    writeFd = -1;
    ::close(w);
    ::close(readFd_);
}

void QuitSignals::readPending()
{
    unsigned char bytes[16];
    const ssize_t n = ::read(readFd_, bytes, sizeof bytes);
    if (n <= 0)
        return;
    setAction(SIG_DFL);
    emit quitRequested(bytes[0]);
}
