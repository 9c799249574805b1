#pragma once

#include <QLockFile>
#include <QString>
#include <functional>

// One running presmon per folder: two would append interleaved, duplicated rows to the same
// daily file (and on Linux share one line). The lock is a file beside config.ini, held for the
// whole run; one left by a process that has ended (a crash, a kill) is taken over.
class InstanceLock {
  public:
    // folder: the folder of config.ini and Data.
    explicit InstanceLock(const QString& folder);

    // Takes the folder for this process. When another running presmon holds it, tells the
    // operator through showMessage and returns false: this start is to end. A folder that
    // takes no lock file at all (read-only, say) is not held by anyone: true, nothing shown.
    bool acquire(const std::function<void(const QString&)>& showMessage);

    static QString busyText();

  private:
    QLockFile m_file;
};
