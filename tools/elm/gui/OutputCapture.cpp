#include "OutputCapture.h"

#include <QMetaObject>
#include <QStringDecoder>

#include <cerrno>
#include <cstdio>
#include <unistd.h>

namespace elmgui {

namespace {

void WriteAll(int fd, const char* data, ssize_t size) {
  while (size > 0) {
    ssize_t n = write(fd, data, static_cast<size_t>(size));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return;
    data += n;
    size -= n;
  }
}

}  // namespace

OutputCapture::OutputCapture(QObject* context, std::function<void(const QString&)> sink) {
  int fds[2];
  std::fflush(stdout);
  if (pipe(fds) != 0) return;
  m_saved = dup(STDOUT_FILENO);
  if (m_saved < 0 || dup2(fds[1], STDOUT_FILENO) < 0) {
    close(fds[0]);
    close(fds[1]);
    if (m_saved >= 0) close(m_saved);
    m_saved = -1;
    return;
  }
  close(fds[1]);
  m_read = fds[0];
  // The context outlives the capture, which joins the reader when it goes;
  // texts still queued then are dropped with the context.
  m_reader = std::thread([this, context, sink = std::move(sink)] {
    // Text arrives in pieces that may split a UTF-8 sequence; the decoder
    // keeps the unfinished end for the next piece.
    QStringDecoder decode(QStringDecoder::Utf8);
    char buffer[4096];
    for (;;) {
      ssize_t n = read(m_read, buffer, sizeof buffer);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) break;
      WriteAll(m_saved, buffer, n);
      QString text = decode(QByteArrayView(buffer, n));
      QMetaObject::invokeMethod(context, [sink, text] { sink(text); }, Qt::QueuedConnection);
    }
  });
}

OutputCapture::~OutputCapture() {
  if (!m_reader.joinable()) return;
  std::fflush(stdout);
  // Putting the old output back closes the pipe's last writer: the reader
  // sees the end and stops.
  dup2(m_saved, STDOUT_FILENO);
  m_reader.join();
  close(m_read);
  close(m_saved);
}

}  // namespace elmgui
