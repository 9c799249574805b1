#include "TFrmLineSet.h"

#include "ColorBox.h"
#include "ColorValue.h"
#include "Ini.h"
#include "LineSample.h"
#include "ScreenFit.h"
#include "SharedState.h"
#include "SignPanel.h"

#include <QApplication>
#include <QComboBox>
#include <QGroupBox>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <optional>

namespace {

constexpr const char* kTag = "Tag";

int TagOf(const QObject* control) {
    return control->property(kTag).toInt();
}

// Blanks and control characters count as blanks, as they do for the operator.
QString TrimControl(const QString& text) {
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text.at(begin).unicode() <= u' ')
        ++begin;
    while (end > begin && text.at(end - 1).unicode() <= u' ')
        --end;
    return text.mid(begin, end - begin);
}

// Optional sign and decimal digits, nothing else, within the 32-bit range.
std::optional<int32_t> ToInteger(const QString& text) {
    qsizetype i = 0;
    if (i < text.size() && (text.at(i) == u'+' || text.at(i) == u'-'))
        ++i;
    if (i == text.size())
        return std::nullopt;
    for (qsizetype k = i; k < text.size(); ++k) {
        if (text.at(k) < u'0' || text.at(k) > u'9')
            return std::nullopt;
    }
    bool ok = false;
    const int value = text.toInt(&ok, 10);
    if (!ok)
        return std::nullopt;
    return value;
}

QString ConversionMessage(const QString& text) {
    return QStringLiteral("'%1' is not a valid integer value").arg(text);
}

const QStringList kTempFullItems = {"40",  "80",  "120", "160", "200",
                                    "240", "280", "320", "380", "420"};

} // namespace

TFrmLineSet::TFrmLineSet(SharedState& state, const QString& configPath, QWidget* parent)
    : QDialog(parent), m_state(state), m_configPath(configPath) {
    setObjectName(QStringLiteral("FrmLineSet"));
    setWindowTitle(QStringLiteral("曲线设置"));
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);
    setFixedSize(555, 397);
    buildControls();
    CentreWindowOnScreen(this);
    FormCreate();
}

void TFrmLineSet::buildControls() {
    for (int n = 1; n <= SharedState::kInstruments; ++n) {
        const bool left = n <= 4;
        auto* box = new QGroupBox(QStringLiteral("0%1").arg(n), this);
        box->setObjectName(QStringLiteral("GroupBox%1").arg(n));
        box->setGeometry(left ? 4 : 278, 4 + ((n - 1) % 4) * 69, 273, 65);
        GroupBoxes[n] = box;

        for (int row = 0; row < 2; ++row) {
            const int number = 2 * n - 1 + row;
            const int y = 17 + row * 23;
            auto* label =
                new QLabel(row == 0 ? QStringLiteral("压力") : QStringLiteral("温度"), box);
            label->setGeometry(8, y, 30, 21);

            auto* shape = new LineSample(box);
            shape->setObjectName(QStringLiteral("QRShape%1").arg(number));
            shape->setGeometry(40, y + 2, LineSample::kLength, 17);
            if (row == 1)
                shape->setPen(2, ColorValue::ToQColor(ColorValue::Rgb(0x80, 0x80, 0)));

            auto* widths = new QComboBox(box);
            widths->setObjectName(QStringLiteral("ComboBox%1").arg(number));
            widths->addItems({"1", "2", "3", "4", "5"});
            widths->setGeometry(120, y, 44, 21);

            auto* colors = new ColorBox(box);
            colors->setObjectName(QStringLiteral("ColorBox%1").arg(number));
            colors->setGeometry(169, y, 98, 21);

            for (QObject* control : std::initializer_list<QObject*>{label, shape, widths, colors})
                control->setProperty(kTag, n);
            QRShapes[number] = shape;
            ComboBoxes[number] = widths;
            ColorBoxes[number] = colors;
        }
    }

    Label17 = new QLabel(QStringLiteral("温度轴满度"), this);
    Label17->setObjectName(QStringLiteral("Label17"));
    Label17->setGeometry(12, 292, 120, 21);
    ComboBox17 = new QComboBox(this);
    ComboBox17->setObjectName(QStringLiteral("ComboBox17"));
    ComboBox17->addItems(kTempFullItems);
    ComboBox17->setGeometry(140, 292, 80, 21);

    Label18 = new QLabel(QStringLiteral("压力轴坐标范围 Y0"), this);
    Label18->setObjectName(QStringLiteral("Label18"));
    Label18->setGeometry(12, 324, 120, 21);
    Panel1 = new SignPanel(this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->move(140, 324);
    Edit1 = new QLineEdit(QStringLiteral("0"), this);
    Edit1->setObjectName(QStringLiteral("Edit1"));
    Edit1->setGeometry(168, 324, 80, 21);

    Label19 = new QLabel(QStringLiteral("压力轴坐标范围 Yn"), this);
    Label19->setObjectName(QStringLiteral("Label19"));
    Label19->setGeometry(12, 356, 120, 21);
    Panel2 = new SignPanel(this);
    Panel2->setObjectName(QStringLiteral("Panel2"));
    Panel2->move(140, 356);
    Edit2 = new QLineEdit(QStringLiteral("1000"), this);
    Edit2->setObjectName(QStringLiteral("Edit2"));
    Edit2->setGeometry(168, 356, 80, 21);

    btnOk = new QPushButton(QStringLiteral("确定"), this);
    btnOk->setObjectName(QStringLiteral("btnOk"));
    btnOk->setGeometry(360, 350, 80, 27);
    btnCl = new QPushButton(QStringLiteral("取消"), this);
    btnCl->setObjectName(QStringLiteral("btnCl"));
    btnCl->setGeometry(455, 350, 80, 27);
    // Enter in an entry moves the focus; it must not press a button on the way.
    for (QPushButton* button : {btnOk, btnCl}) {
        button->setAutoDefault(false);
        button->setDefault(false);
    }

    for (int number = 1; number <= 16; ++number) {
        QComboBox* widths = ComboBoxes[number];
        ColorBox* colors = ColorBoxes[number];
        if (number % 2 == 1) {
            connect(widths, &QComboBox::currentIndexChanged, this,
                    [this, widths] { ComboBox1Change(widths); });
            connect(colors, &QComboBox::currentIndexChanged, this,
                    [this, colors] { ColorBox1Change(colors); });
        } else {
            connect(widths, &QComboBox::currentIndexChanged, this,
                    [this, widths] { ComboBox2Change(widths); });
            connect(colors, &QComboBox::currentIndexChanged, this,
                    [this, colors] { ColorBox2Change(colors); });
        }
    }
    connect(Panel1, &SignPanel::clicked, this, &TFrmLineSet::Panel1Click);
    connect(Panel2, &SignPanel::clicked, this, &TFrmLineSet::Panel2Click);
    Edit1->installEventFilter(this);
    Edit2->installEventFilter(this);
    connect(btnOk, &QPushButton::clicked, this, &TFrmLineSet::btnOkClick);
    connect(btnCl, &QPushButton::clicked, this, &TFrmLineSet::btnClClick);
}

void TFrmLineSet::OpenFromMainWindow(QWidget* parent, SharedState& state,
                                     const QString& configPath) {
    TFrmLineSet dialog(state, configPath, parent);
    dialog.PrepareForMainWindow();
    dialog.exec();
}

void TFrmLineSet::OpenFromHistoryWindow(QWidget* parent, SharedState& state,
                                        const QString& configPath) {
    TFrmLineSet dialog(state, configPath, parent);
    dialog.PrepareForHistoryWindow();
    dialog.exec();
}

void TFrmLineSet::PrepareForMainWindow() {
    ComboBox17->setCurrentIndex(m_state.TempFull);
    presetRange(Panel1, Edit1, m_state.PresY0);
    presetRange(Panel2, Edit2, m_state.PresYn);
}

void TFrmLineSet::PrepareForHistoryWindow() {
    ComboBox17->setCurrentIndex(m_state.TempFull);
    ComboBox17->hide();
    Label17->hide();
}

void TFrmLineSet::presetRange(SignPanel* panel, QLineEdit* edit, int32_t value) {
    panel->setText(value < 0 ? QStringLiteral("-") : QStringLiteral("+"));
    edit->setText(QString::number(qAbs(qint64(value))));
}

void TFrmLineSet::FormCreate() {
    for (int n = 1; n <= SharedState::kInstruments; ++n) {
        const int press = 2 * n - 1;
        const int temp = 2 * n;
        // Out-of-range widths leave the list empty on purpose: OK then stores width 0.
        ComboBoxes[press]->setCurrentIndex(m_state.LineWidthPress[n] - 1);
        ColorBoxes[press]->setColorValue(m_state.LineColorPress[n]);
        QRShapes[press]->setPen(m_state.LineWidthPress[n],
                                ColorValue::ToQColor(m_state.LineColorPress[n]));
        ComboBoxes[temp]->setCurrentIndex(m_state.LineWidthTemp[n] - 1);
        ColorBoxes[temp]->setColorValue(m_state.LineColorTemp[n]);
        QRShapes[temp]->setPen(m_state.LineWidthTemp[n],
                               ColorValue::ToQColor(m_state.LineColorTemp[n]));
    }
}

void TFrmLineSet::ComboBox1Change(QComboBox* sender) {
    LineSample* shape = QRShapes[2 * TagOf(sender) - 1];
    shape->setPen(sender->currentIndex() + 1, shape->pen().color());
}

void TFrmLineSet::ComboBox2Change(QComboBox* sender) {
    LineSample* shape = QRShapes[2 * TagOf(sender)];
    shape->setPen(sender->currentIndex() + 1, shape->pen().color());
}

void TFrmLineSet::ColorBox1Change(ColorBox* sender) {
    LineSample* shape = QRShapes[2 * TagOf(sender) - 1];
    shape->setPen(shape->pen().width(), ColorValue::ToQColor(sender->colorValue()));
}

void TFrmLineSet::ColorBox2Change(ColorBox* sender) {
    LineSample* shape = QRShapes[2 * TagOf(sender)];
    shape->setPen(shape->pen().width(), ColorValue::ToQColor(sender->colorValue()));
}

void TFrmLineSet::Panel1Click() {
    Panel1->setText(Panel1->text() == u"+" ? QStringLiteral("-") : QStringLiteral("+"));
}

void TFrmLineSet::Panel2Click() {
    Panel2->setText(Panel2->text() == u"+" ? QStringLiteral("-") : QStringLiteral("+"));
}

bool TFrmLineSet::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (watched == Edit1)
            return Edit1KeyPress(key);
        if (watched == Edit2)
            return Edit2KeyPress(key);
    }
    if (event->type() == QEvent::InputMethod && (watched == Edit1 || watched == Edit2))
        entryInputMethod(static_cast<QLineEdit*>(watched), static_cast<QInputMethodEvent*>(event));
    return QDialog::eventFilter(watched, event);
}

bool TFrmLineSet::Edit1KeyPress(QKeyEvent* event) {
    return entryKeyPress(Edit1, Edit2, event);
}

bool TFrmLineSet::Edit2KeyPress(QKeyEvent* event) {
    return entryKeyPress(Edit2, Edit1, event);
}

bool TFrmLineSet::entryKeyPress(QLineEdit* edit, QLineEdit* other, QKeyEvent* event) {
    // Only keys that type a character are filtered; moving the cursor or deleting stays free.
    // Tab and Esc carry a control character but are navigation: focus chain and dialog take them.
    const QString text = event->text();
    if (text.isEmpty() || event->key() == Qt::Key_Delete || event->key() == Qt::Key_Tab ||
        event->key() == Qt::Key_Backtab || event->key() == Qt::Key_Escape)
        return false;
    const QChar c = text.at(0);
    if ((c >= u'0' && c <= u'9') || event->key() == Qt::Key_Backspace)
        return false;
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        other->setFocus();
        return false;
    }
    edit->setText(TrimControl(edit->text()));
    return true;
}

void TFrmLineSet::entryInputMethod(QLineEdit* edit, QInputMethodEvent* event) {
    // Text committed by an input method (pinyin, full-width digits) is typed text too: only
    // the digits get through, and anything else trims the entry as a typed key does.
    const QString committed = event->commitString();
    QString digits;
    for (QChar c : committed) {
        if (c >= u'0' && c <= u'9')
            digits += c;
    }
    if (digits.size() == committed.size())
        return;
    edit->setText(TrimControl(edit->text()));
    event->setCommitString(digits);
}

void TFrmLineSet::btnOkClick() {
    for (int n = 1; n <= SharedState::kInstruments; ++n) {
        m_state.LineWidthPress[n] = ComboBoxes[2 * n - 1]->currentIndex() + 1;
        m_state.LineColorPress[n] = ColorBoxes[2 * n - 1]->colorValue();
        m_state.LineWidthTemp[n] = ComboBoxes[2 * n]->currentIndex() + 1;
        m_state.LineColorTemp[n] = ColorBoxes[2 * n]->colorValue();
        const QString key = QString::number(n);
        IniWriteInteger(m_configPath, QStringLiteral("LineWidthPress"), key,
                        m_state.LineWidthPress[n]);
        IniWriteInteger(m_configPath, QStringLiteral("LineColorPress"), key,
                        m_state.LineColorPress[n]);
        IniWriteInteger(m_configPath, QStringLiteral("LineWidthTemp"), key,
                        m_state.LineWidthTemp[n]);
        IniWriteInteger(m_configPath, QStringLiteral("LineColorTemp"), key,
                        m_state.LineColorTemp[n]);
    }
    IniWriteInteger(m_configPath, QStringLiteral("mSet"), QStringLiteral("TempFull"),
                    ComboBox17->currentIndex());

    const QString y0Text = Panel1->text() + Edit1->text();
    const std::optional<int32_t> y0 = ToInteger(y0Text);
    if (!y0) {
        showMessage(QMessageBox::Critical, ConversionMessage(y0Text));
        return;
    }
    const QString ynText = Panel2->text() + Edit2->text();
    const std::optional<int32_t> yn = ToInteger(ynText);
    if (!yn) {
        showMessage(QMessageBox::Critical, ConversionMessage(ynText));
        return;
    }
    if (*y0 >= *yn) {
        showMessage(QMessageBox::NoIcon, QStringLiteral("压力坐标 Y0值必须小于Yn值"));
        return;
    }
    m_state.PresY0 = *y0;
    m_state.PresYn = *yn;
    IniWriteInteger(m_configPath, QStringLiteral("mSet"), QStringLiteral("PresY0"), *y0);
    IniWriteInteger(m_configPath, QStringLiteral("mSet"), QStringLiteral("PresYn"), *yn);
    m_state.TempFull = ComboBox17->currentIndex();
    accept();
}

void TFrmLineSet::btnClClick() {
    reject();
}

void TFrmLineSet::showMessage(QMessageBox::Icon icon, const QString& text) {
    if (m_message) {
        m_message(icon, text);
        return;
    }
    QMessageBox box(icon, QApplication::applicationName(), text, QMessageBox::Ok, this);
    box.exec();
}
