#pragma once

#include "TrendReader.h"

#include <QObject>
#include <QThread>
#include <atomic>
#include <memory>

// Runs trend reads on a thread of its own, one at a time; a new read cancels the one
// before, whose result is then never reported. Signals arrive on the owner's thread.
class TrendLoader : public QObject {
    Q_OBJECT
  public:
    explicit TrendLoader(QObject* parent = nullptr);
    ~TrendLoader() override;

    quint64 start(const TrendReader::Request& request); // the read's number
    void cancel();
    bool busy() const { return m_running != 0; }

  signals:
    void progress(quint64 id, int done, int total);
    void finished(quint64 id, const TrendReader::Result& result);
    void cancelled(quint64 id);

  private:
    QThread m_thread;
    QObject* m_worker;
    quint64 m_last = 0;
    int m_running = 0; // reads handed to the thread and not yet back
    std::shared_ptr<std::atomic<bool>> m_cancel;
    // Used on the reading thread only, one read at a time.
    std::shared_ptr<std::array<TrendCache::Scratch, 2>> m_scratch =
        std::make_shared<std::array<TrendCache::Scratch, 2>>();
};
