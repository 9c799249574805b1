#include "TFrmPicAll.h"

#include "Protocol.h"
#include "ScreenFit.h"
#include "SignPanel.h"

#include <QApplication>
#include <QComboBox>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTimer>

namespace {

constexpr int kReadPauseMs = 100;
constexpr int kReplyReadBytes = 128;
constexpr int kAckReadBytes = 5;

// The buttons come back also when a read or write ends in an exception. Disabling the
// focused button hands the focus on to the next entry with its text selected, where the next
// digit would replace it; the focus goes back unless the operator moved it meanwhile.
class ButtonsDisabled {
  public:
    ButtonsDisabled(QWidget* dialog, std::function<void(bool)> set)
        : m_dialog(dialog), m_focus(dialog->focusWidget()), m_set(std::move(set)) {
        m_set(false);
        m_handedTo = m_dialog->focusWidget();
    }
    ~ButtonsDisabled() {
        m_set(true);
        if (m_focus && m_handedTo != m_focus && m_dialog->focusWidget() == m_handedTo)
            m_focus->setFocus(Qt::OtherFocusReason);
    }
    ButtonsDisabled(const ButtonsDisabled&) = delete;
    ButtonsDisabled& operator=(const ButtonsDisabled&) = delete;

  private:
    QWidget* m_dialog;
    QPointer<QWidget> m_focus;
    QPointer<QWidget> m_handedTo;
    std::function<void(bool)> m_set;
};

// A magnitude is sent as bare digits; a sign or anything else inside it would corrupt the frame.
bool IsMagnitude(const QString& trimmed) {
    if (trimmed.isEmpty())
        return false;
    for (QChar c : trimmed) {
        if (c < u'0' || c > u'9')
            return false;
    }
    return true;
}

} // namespace

TFrmPicAll::TFrmPicAll(Port* port, PauseFn pause, QWidget* parent)
    : QDialog(parent), m_port(port), m_pause(std::move(pause)) {
    setObjectName(QStringLiteral("FrmPicAll"));
    setWindowTitle(QStringLiteral("仪表设置"));
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);
    setFixedSize(350, 172);
    buildControls();
    CentreWindowOnScreen(this);
    Timer1->start();
}

void TFrmPicAll::buildControls() {
    auto label = [this](const QString& name, const QString& text, const QRect& geometry) {
        auto* l = new QLabel(text, this);
        l->setObjectName(name);
        l->setGeometry(geometry);
        return l;
    };
    auto list = [this](const QString& name, const QStringList& items, const QRect& geometry) {
        auto* box = new QComboBox(this);
        box->setObjectName(name);
        box->addItems(items);
        box->setGeometry(geometry);
        return box;
    };
    auto edit = [this](const QString& name, int y) {
        auto* e = new QLineEdit(QStringLiteral("0"), this);
        e->setObjectName(name);
        e->setMaxLength(4);
        e->setGeometry(130, y, 60, 21);
        e->installEventFilter(this);
        return e;
    };
    auto panel = [this](const QString& name, int y) {
        auto* p = new SignPanel(this);
        p->setObjectName(name);
        p->move(100, y);
        return p;
    };
    auto button = [this](const QString& name, const QString& text, int y) {
        auto* b = new QPushButton(text, this);
        b->setObjectName(name);
        b->setGeometry(265, y, 70, 25);
        // Enter in an edit moves the focus; it must not press a button on the way.
        b->setAutoDefault(false);
        return b;
    };

    Label1 = label(QStringLiteral("Label1"), QStringLiteral("仪表地址"), {12, 14, 80, 21});
    ComboBox1 = list(QStringLiteral("ComboBox1"), {"01", "02", "03", "04", "05", "06", "07", "08"},
                     {100, 14, 60, 21});
    Label4 = label(QStringLiteral("Label4"), QStringLiteral("小数位"), {200, 44, 60, 21});

    const QStringList codes = {"1", "2", "3", "4"};
    Label2 = label(QStringLiteral("Label2"), QStringLiteral("压力满量程"), {12, 68, 85, 21});
    Panel1 = panel(QStringLiteral("Panel1"), 68);
    Edit1 = edit(QStringLiteral("Edit1"), 68);
    ComboBox2 = list(QStringLiteral("ComboBox2"), codes, {200, 68, 50, 21});
    BtnRdPres = button(QStringLiteral("BtnRdPres"), QStringLiteral("读取"), 66);
    BtnWrPres = button(QStringLiteral("BtnWrPres"), QStringLiteral("写入"), 66);

    Label3 = label(QStringLiteral("Label3"), QStringLiteral("主继电器输出"), {12, 100, 85, 21});
    Panel2 = panel(QStringLiteral("Panel2"), 100);
    Edit2 = edit(QStringLiteral("Edit2"), 100);
    ComboBox3 = list(QStringLiteral("ComboBox3"), codes, {200, 100, 50, 21});
    BtnRdAlrm = button(QStringLiteral("BtnRdAlrm"), QStringLiteral("读取"), 98);
    BtnWrAlrm = button(QStringLiteral("BtnWrAlrm"), QStringLiteral("写入"), 98);

    // The reads are started by the timer only; their buttons stay hidden beneath the writes.
    BtnRdPres->lower();
    BtnRdAlrm->lower();

    Button1 = button(QStringLiteral("Button1"), QStringLiteral("关闭"), 136);

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(100);
    Timer1->setSingleShot(true);

    connect(Timer1, &QTimer::timeout, this, &TFrmPicAll::Timer1Timer);
    connect(ComboBox1, &QComboBox::currentIndexChanged, this, &TFrmPicAll::ComboBox1Change);
    connect(BtnRdPres, &QPushButton::clicked, this, &TFrmPicAll::BtnRdPresClick);
    connect(BtnRdAlrm, &QPushButton::clicked, this, &TFrmPicAll::BtnRdAlrmClick);
    connect(BtnWrPres, &QPushButton::clicked, this, &TFrmPicAll::BtnWrPresClick);
    connect(BtnWrAlrm, &QPushButton::clicked, this, &TFrmPicAll::BtnWrAlrmClick);
    connect(Panel1, &SignPanel::clicked, this, &TFrmPicAll::Panel1Click);
    connect(Panel2, &SignPanel::clicked, this, &TFrmPicAll::Panel2Click);
    connect(Button1, &QPushButton::clicked, this, &TFrmPicAll::Button1Click);
}

void TFrmPicAll::Open(Port* port, PauseFn pause, QWidget* parent) {
    TFrmPicAll dialog(port, std::move(pause), parent);
    dialog.exec();
}

TFrmPicAll::Row TFrmPicAll::pressureRow() const {
    return {'1', Panel1, Edit1, ComboBox2};
}

TFrmPicAll::Row TFrmPicAll::relayRow() const {
    return {'2', Panel2, Edit2, ComboBox3};
}

bool TFrmPicAll::portOpen() const {
    return m_port != nullptr && m_port->isOpen();
}

void TFrmPicAll::setButtonsEnabled(bool on) {
    for (QPushButton* b : {BtnRdPres, BtnWrPres, BtnRdAlrm, BtnWrAlrm})
        b->setEnabled(on);
}

void TFrmPicAll::Timer1Timer() {
    Timer1->stop();
    // A conversion error ends the whole handler, so the relay row is then not read.
    try {
        readParameter(pressureRow());
        readParameter(relayRow());
    } catch (const ConversionError& e) {
        showError(QString::fromUtf8(e.what()));
    }
}

void TFrmPicAll::ComboBox1Change() {
    Timer1->start();
}

void TFrmPicAll::BtnRdPresClick() {
    try {
        readParameter(pressureRow());
    } catch (const ConversionError& e) {
        showError(QString::fromUtf8(e.what()));
    }
}

void TFrmPicAll::BtnRdAlrmClick() {
    try {
        readParameter(relayRow());
    } catch (const ConversionError& e) {
        showError(QString::fromUtf8(e.what()));
    }
}

void TFrmPicAll::readParameter(const Row& row) {
    const ButtonsDisabled busy(this, [this](bool on) { setButtonsEnabled(on); });
    if (!portOpen())
        return;
    m_port->write(BuildPollRequest(ComboBox1->currentIndex() + 1, row.command));
    m_pause(kReadPauseMs);
    const QByteArray received = m_port->read(kReplyReadBytes);
    const std::optional<QByteArray> reply = FirstReply(received);
    if (!reply)
        return;
    const Parameter parameter = DecodeParameter(*reply);
    row.sign->setText(parameter.value <= 0 ? QStringLiteral("-") : QStringLiteral("+"));
    const QString digits = QString::number(qAbs(qint64(parameter.value)));
    // A five-digit value from the instrument is shown whole, not cut to the typing limit.
    row.magnitude->setMaxLength(qMax(row.magnitude->maxLength(), int(digits.size())));
    row.magnitude->setText(digits);
    if (parameter.decimalCode >= '1' && parameter.decimalCode <= '4')
        row.decimals->setCurrentIndex(parameter.decimalCode - '1');
}

void TFrmPicAll::BtnWrPresClick() {
    writeParameter(pressureRow());
}

void TFrmPicAll::BtnWrAlrmClick() {
    writeParameter(relayRow());
}

void TFrmPicAll::writeParameter(const Row& row) {
    const QString trimmed = row.magnitude->text().trimmed();
    if (!IsMagnitude(trimmed) || !portOpen())
        return;
    const ButtonsDisabled busy(this, [this](bool on) { setButtonsEnabled(on); });
    const QString digits = trimmed.left(4).rightJustified(4, u'0');
    const char code = char('1' + qMax(0, row.decimals->currentIndex()));
    const QString signText = row.sign->text();
    const char sign = signText.isEmpty() ? '+' : signText.at(0).toLatin1();
    const int address = ComboBox1->currentText().at(1).digitValue();
    m_port->write(BuildParameterWrite(address, row.command, sign, digits.toLatin1(), code));
    m_pause(kReadPauseMs);
    if (IsAcknowledged(m_port->read(kAckReadBytes)))
        row.magnitude->setText(digits);
}

void TFrmPicAll::toggleSign(const Row& row) {
    row.sign->setText(row.sign->text() == u"+" ? QStringLiteral("-") : QStringLiteral("+"));
    row.decimals->setCurrentIndex(0);
}

void TFrmPicAll::Panel1Click() {
    toggleSign(pressureRow());
}

void TFrmPicAll::Panel2Click() {
    toggleSign(relayRow());
}

bool TFrmPicAll::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::KeyPress) {
        auto* key = static_cast<QKeyEvent*>(event);
        if (watched == Edit1)
            return Edit1KeyPress(key);
        if (watched == Edit2)
            return Edit2KeyPress(key);
    }
    if (event->type() == QEvent::InputMethod && (watched == Edit1 || watched == Edit2))
        magnitudeInputMethod(static_cast<QLineEdit*>(watched),
                             static_cast<QInputMethodEvent*>(event));
    return QDialog::eventFilter(watched, event);
}

bool TFrmPicAll::Edit1KeyPress(QKeyEvent* event) {
    return magnitudeKeyPress(Edit1, Edit2, event);
}

bool TFrmPicAll::Edit2KeyPress(QKeyEvent* event) {
    return magnitudeKeyPress(Edit2, Edit1, event);
}

bool TFrmPicAll::magnitudeKeyPress(QLineEdit* edit, QLineEdit* other, QKeyEvent* event) {
    // Only keys that type a character are filtered; moving the cursor or deleting stays free.
    // Tab and Esc carry a control character but are navigation: focus chain and dialog take them.
    const QString text = event->text();
    if (text.isEmpty() || event->key() == Qt::Key_Delete || event->key() == Qt::Key_Backspace ||
        event->key() == Qt::Key_Tab || event->key() == Qt::Key_Backtab ||
        event->key() == Qt::Key_Escape)
        return false;
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        // As an entry reached from the keyboard: selected, so the next digit replaces it.
        other->setFocus(Qt::TabFocusReason);
        other->selectAll();
        return false;
    }
    const QChar c = text.at(0);
    if (c < u'0' || c > u'9') {
        edit->setText(edit->text().trimmed());
        return true;
    }
    limitBeforeDigit(edit);
    return false;
}

void TFrmPicAll::limitBeforeDigit(QLineEdit* edit) {
    const int limit = edit->text().trimmed().contains(u'.') ? 5 : 4;
    // Lowering the limit below the text would cut a longer value read from the instrument.
    const int maxLength = qMax(limit, int(edit->text().size()));
    if (edit->maxLength() == maxLength)
        return;
    // A new limit sets the text again, which drops the selection the digit is to replace.
    const int start = edit->selectionStart();
    const int length = edit->selectionLength();
    const int cursor = edit->cursorPosition();
    edit->setMaxLength(maxLength);
    if (start < 0)
        edit->setCursorPosition(cursor);
    else if (cursor == start)
        edit->setSelection(start + length, -length);
    else
        edit->setSelection(start, length);
}

void TFrmPicAll::magnitudeInputMethod(QLineEdit* edit, QInputMethodEvent* event) {
    // Text committed by an input method is typed text too: only its digits get through,
    // under the same length limit, and anything else trims the edit as a typed key does.
    const QString committed = event->commitString();
    QString digits;
    for (QChar c : committed) {
        if (c >= u'0' && c <= u'9')
            digits += c;
    }
    if (digits.size() != committed.size()) {
        edit->setText(edit->text().trimmed());
        event->setCommitString(digits);
    }
    if (!digits.isEmpty())
        limitBeforeDigit(edit);
}

void TFrmPicAll::Button1Click() {
    reject();
}

void TFrmPicAll::showError(const QString& text) {
    if (m_message) {
        m_message(QMessageBox::Critical, text);
        return;
    }
    QMessageBox::critical(this, QApplication::applicationName(), text);
}
