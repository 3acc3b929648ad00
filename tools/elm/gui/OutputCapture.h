#pragma once

#include <QObject>

#include <functional>
#include <thread>

namespace elmgui {

/// Shows what is written to the standard output (elm's lines and the
/// plug-in's trace, in the order written) in a window, and still passes it
/// on to where the output went before. A thread drains the pipe as it
/// fills, so that a callback writing much trace never blocks on it.
class OutputCapture {
public:
  /// sink runs on context's thread, once per piece of text read.
  OutputCapture(QObject* context, std::function<void(const QString&)> sink);
  ~OutputCapture();
  OutputCapture(const OutputCapture&) = delete;
  OutputCapture& operator=(const OutputCapture&) = delete;

  bool Active() const { return m_reader.joinable(); }

private:
  int m_saved = -1;
  int m_read = -1;
  std::thread m_reader;
};

}  // namespace elmgui
