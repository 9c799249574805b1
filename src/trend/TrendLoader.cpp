#include "TrendLoader.h"

#include <QMetaObject>

TrendLoader::TrendLoader(QObject* parent) : QObject(parent), m_worker(new QObject) {
    m_thread.setObjectName(QStringLiteral("trend"));
    m_worker->moveToThread(&m_thread);
    connect(&m_thread, &QThread::finished, m_worker, &QObject::deleteLater);
    m_thread.start();
}

TrendLoader::~TrendLoader() {
    cancel();
    m_thread.quit();
    m_thread.wait();
}

void TrendLoader::cancel() {
    if (m_cancel)
        m_cancel->store(true);
}

quint64 TrendLoader::start(const TrendReader::Request& request) {
    cancel();
    m_cancel = std::make_shared<std::atomic<bool>>(false);
    const quint64 id = ++m_last;
    ++m_running;
    auto flag = m_cancel;
    auto scratch = m_scratch;
    QMetaObject::invokeMethod(
        m_worker,
        [this, request, flag, id, scratch] {
            int lastDone = -1;
            const auto report = [this, id, &lastDone](int done, int total) {
                if (done == lastDone)
                    return;
                lastDone = done;
                QMetaObject::invokeMethod(
                    this,
                    [this, id, done, total] {
                        if (id == m_last)
                            emit progress(id, done, total);
                    },
                    Qt::QueuedConnection);
            };
            TrendReader::Result result;
            if (!flag->load())
                result = TrendReader::read(request, report, flag.get(), scratch.get());
            else
                result.cancelled = true;
            QMetaObject::invokeMethod(
                this,
                [this, id, flag, result = std::move(result)] {
                    --m_running;
                    if (id != m_last)
                        return;
                    // Cancelled after the read ended but before it was shown: still not shown.
                    if (result.cancelled || flag->load())
                        emit cancelled(id);
                    else
                        emit finished(id, result);
                },
                Qt::QueuedConnection);
        },
        Qt::QueuedConnection);
    return id;
}
