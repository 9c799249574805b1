#include "TFrmAlarmSet.h"

#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

namespace {

const char* const kColumns[] = {"压力上限", "压力下限", "温度上限", "温度下限"};

} // namespace

TFrmAlarmSet::TFrmAlarmSet(QString configPath, QWidget* parent)
    : QDialog(parent), m_configPath(std::move(configPath)) {
    setObjectName(QStringLiteral("FrmAlarmSet"));
    setWindowTitle(QStringLiteral("报警设置"));
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);
    setFixedSize(440, 362);
    buildControls();

    const AlarmLimits limits = ReadAlarmLimits(m_configPath);
    for (int n = 1; n <= AlarmLimits::kInstruments; ++n) {
        for (int c = 0; c < 4; ++c)
            Edit[4 * n - 3 + c]->setText(limits.table(c)[n].text);
    }
    Edit[33]->setText(limits.Silent.text);
    for (int i = 1; i <= 33; ++i)
        m_loaded << Edit[i]->text().trimmed();
}

void TFrmAlarmSet::buildControls() {
    auto label = [this](int number, const QString& text, const QRect& geometry) {
        auto* l = new QLabel(text, this);
        l->setObjectName(QStringLiteral("Label%1").arg(number));
        l->setGeometry(geometry);
        Label[number] = l;
    };
    label(1, QStringLiteral("仪表"), {12, 10, 70, 21});
    for (int c = 0; c < 4; ++c)
        label(2 + c, QString::fromUtf8(kColumns[c]), {90 + 85 * c, 10, 80, 21});
    for (int n = 1; n <= AlarmLimits::kInstruments; ++n) {
        const int y = 10 + 28 * n;
        label(5 + n, QStringLiteral("仪表地址%1").arg(n), {12, y, 75, 21});
        for (int c = 0; c < 4; ++c) {
            const int number = 4 * n - 3 + c;
            auto* e = new QLineEdit(this);
            e->setObjectName(QStringLiteral("Edit%1").arg(number));
            e->setGeometry(90 + 85 * c, y, 75, 21);
            e->setMaxLength(12);
            Edit[number] = e;
        }
    }
    label(14, QStringLiteral("无应答报警(秒)"), {12, 272, 110, 21});
    Edit[33] = new QLineEdit(this);
    Edit[33]->setObjectName(QStringLiteral("Edit33"));
    Edit[33]->setGeometry(130, 272, 75, 21);
    Edit[33]->setMaxLength(6);
    label(15, QStringLiteral("空白或0表示不报警"), {215, 272, 210, 21});

    BtnOk = new QPushButton(QStringLiteral("确定"), this);
    BtnOk->setObjectName(QStringLiteral("BtnOk"));
    BtnOk->setGeometry(250, 320, 80, 27);
    BtnOk->setDefault(true);
    BtnCancel = new QPushButton(QStringLiteral("取消"), this);
    BtnCancel->setObjectName(QStringLiteral("BtnCancel"));
    BtnCancel->setGeometry(345, 320, 80, 27);
    connect(BtnOk, &QPushButton::clicked, this, &TFrmAlarmSet::BtnOkClick);
    connect(BtnCancel, &QPushButton::clicked, this, &QDialog::reject);
}

void TFrmAlarmSet::refuse(QLineEdit* edit, const QString& text) {
    edit->setFocus(Qt::OtherFocusReason);
    edit->selectAll();
    tell(QMessageBox::Warning, text);
}

void TFrmAlarmSet::tell(QMessageBox::Icon icon, const QString& text) {
    if (m_message)
        m_message(icon, text);
    else
        QMessageBox(icon, windowTitle(), text, QMessageBox::Ok, this).exec();
}

bool TFrmAlarmSet::collect(AlarmLimits* limits) {
    for (int n = 1; n <= AlarmLimits::kInstruments; ++n) {
        for (int c = 0; c < 4; ++c) {
            QLineEdit* e = Edit[4 * n - 3 + c];
            AlarmLimit& l = limits->table(c)[n];
            l.text = e->text().trimmed();
            if (l.text.isEmpty())
                continue;
            if (!ParseAlarmNumber(l.text, &l.value)) {
                refuse(e,
                       QStringLiteral("仪表地址%1的%2不是有效的数字，请输入如 12.5 或 -3 的数值。")
                           .arg(n)
                           .arg(QString::fromUtf8(kColumns[c])));
                return false;
            }
            l.on = true;
        }
        for (int c = 0; c < 4; c += 2) {
            const AlarmLimit& high = limits->table(c)[n];
            const AlarmLimit& low = limits->table(c + 1)[n];
            if (high.on && low.on && high.value <= low.value) {
                refuse(Edit[4 * n - 3 + c], QStringLiteral("仪表地址%1的%2必须大于%3。")
                                                .arg(n)
                                                .arg(QString::fromUtf8(kColumns[c]),
                                                     QString::fromUtf8(kColumns[c + 1])));
                return false;
            }
        }
    }
    AlarmLimit& silent = limits->Silent;
    silent.text = Edit[33]->text().trimmed();
    int seconds = 0;
    if (!silent.text.isEmpty()) {
        if (!ParseSilentSeconds(silent.text, &seconds)) {
            refuse(Edit[33],
                   QStringLiteral("无应答报警时间须为0到%1之间的整数秒。").arg(kMaxSilentSeconds));
            return false;
        }
    }
    silent.value = seconds;
    silent.on = seconds > 0;
    return true;
}

void TFrmAlarmSet::BtnOkClick() {
    AlarmLimits limits;
    if (!collect(&limits))
        return;
    QStringList entered;
    for (int i = 1; i <= 33; ++i)
        entered << Edit[i]->text().trimmed();
    if (entered != m_loaded) {
        if (!WriteAlarmLimits(m_configPath, limits)) {
            tell(QMessageBox::Critical,
                 QStringLiteral("无法写入配置文件 config.ini，报警设置未保存。"));
            return;
        }
        m_written = true;
    }
    accept();
}

bool TFrmAlarmSet::Open(const QString& configPath, QWidget* parent) {
    TFrmAlarmSet dialog(configPath, parent);
    dialog.exec();
    return dialog.written();
}
