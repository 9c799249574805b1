#include "ProgramIcon.h"

QIcon ProgramIcon() {
    return QIcon(QStringLiteral(":/icons/presmon.png"));
}
