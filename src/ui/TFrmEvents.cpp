#include "TFrmEvents.h"

#include "EventLog.h"

#include <QDateEdit>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>

namespace {

constexpr int kAddressRole = Qt::UserRole;
constexpr int kKindRole = Qt::UserRole + 1;

QTreeWidget* List(QWidget* parent, const QString& name, const QStringList& columns) {
    auto* list = new QTreeWidget(parent);
    list->setObjectName(name);
    list->setRootIsDecorated(false);
    list->setUniformRowHeights(true);
    list->setHeaderLabels(columns);
    list->header()->setStretchLastSection(true);
    list->setColumnWidth(0, 140);
    for (int c = 1; c < columns.size() - 1; ++c)
        list->setColumnWidth(c, c == 2 ? 100 : 60);
    return list;
}

QStringList Row(const AlarmEvent& e) {
    return {e.time.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")),
            e.address > 0 ? QString::number(e.address) : QString(), e.text, e.value, e.limit};
}

QString StateText(AlarmState s) {
    switch (s) {
    case AlarmState::ActiveUnacknowledged:
        return QStringLiteral("报警 未确认");
    case AlarmState::ActiveAcknowledged:
        return QStringLiteral("报警 已确认");
    case AlarmState::ReturnedUnacknowledged:
        return QStringLiteral("已恢复 未确认");
    case AlarmState::Normal:
        break;
    }
    return {};
}

} // namespace

TFrmEvents::TFrmEvents(QString baseDir, QWidget* parent)
    : QDialog(parent), m_baseDir(std::move(baseDir)) {
    setObjectName(QStringLiteral("FrmEvents"));
    setWindowTitle(QStringLiteral("报警记录"));
    setWindowFlags(windowFlags() & ~Qt::WindowContextHelpButtonHint);
    resize(660, 520);
    buildControls();
    setDate(QDate::currentDate());
}

void TFrmEvents::buildControls() {
    auto button = [this](const QString& name, const QString& text) {
        auto* b = new QPushButton(text, this);
        b->setObjectName(name);
        b->setAutoDefault(false);
        return b;
    };
    auto label = [this](const QString& name, const QString& text) {
        auto* l = new QLabel(text, this);
        l->setObjectName(name);
        return l;
    };

    Label2 = label(QStringLiteral("Label2"), QStringLiteral("当前报警"));
    ListView1 = List(this, QStringLiteral("ListView1"),
                     {QStringLiteral("时间"), QStringLiteral("仪表"), QStringLiteral("报警"),
                      QStringLiteral("数值"), QStringLiteral("限值"), QStringLiteral("状态")});
    BtnAck = button(QStringLiteral("BtnAck"), QStringLiteral("确认"));
    BtnAckAll = button(QStringLiteral("BtnAckAll"), QStringLiteral("全部确认"));
    BtnSilence = button(QStringLiteral("BtnSilence"), QStringLiteral("消音"));
    BtnSilence->hide();

    Label1 = label(QStringLiteral("Label1"), QStringLiteral("日期"));
    DateTimePicker1 = new QDateEdit(this);
    DateTimePicker1->setObjectName(QStringLiteral("DateTimePicker1"));
    DateTimePicker1->setCalendarPopup(true);
    DateTimePicker1->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
    BtnRefresh = button(QStringLiteral("BtnRefresh"), QStringLiteral("刷新"));
    Label3 = label(QStringLiteral("Label3"), QStringLiteral("事件记录"));
    ListView2 = List(this, QStringLiteral("ListView2"),
                     {QStringLiteral("时间"), QStringLiteral("仪表"), QStringLiteral("事件"),
                      QStringLiteral("数值"), QStringLiteral("限值")});
    Label4 = label(QStringLiteral("Label4"), QString());
    Button1 = button(QStringLiteral("Button1"), QStringLiteral("关闭"));

    auto* alarmButtons = new QHBoxLayout;
    alarmButtons->addWidget(BtnAck);
    alarmButtons->addWidget(BtnAckAll);
    alarmButtons->addWidget(BtnSilence);
    alarmButtons->addStretch();
    auto* day = new QHBoxLayout;
    day->addWidget(Label3);
    day->addStretch();
    day->addWidget(Label1);
    day->addWidget(DateTimePicker1);
    day->addWidget(BtnRefresh);
    auto* foot = new QHBoxLayout;
    foot->addWidget(Label4, 1);
    foot->addWidget(Button1);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Label2);
    layout->addWidget(ListView1, 2);
    layout->addLayout(alarmButtons);
    layout->addLayout(day);
    layout->addWidget(ListView2, 3);
    layout->addLayout(foot);

    connect(DateTimePicker1, &QDateEdit::dateChanged, this, &TFrmEvents::refresh);
    connect(BtnRefresh, &QPushButton::clicked, this, &TFrmEvents::refresh);
    connect(BtnAck, &QPushButton::clicked, this, &TFrmEvents::BtnAckClick);
    connect(BtnAckAll, &QPushButton::clicked, this, [this] {
        if (m_acknowledgeAll)
            m_acknowledgeAll();
    });
    connect(BtnSilence, &QPushButton::clicked, this, [this] {
        if (m_silence)
            m_silence();
    });
    connect(ListView1, &QTreeWidget::itemSelectionChanged, this, &TFrmEvents::updateButtons);
    connect(Button1, &QPushButton::clicked, this, &QDialog::close);
    updateButtons();
}

void TFrmEvents::setAcknowledge(std::function<void(int, int)> fn) {
    m_acknowledge = std::move(fn);
    updateButtons();
}

void TFrmEvents::setAcknowledgeAll(std::function<void()> fn) {
    m_acknowledgeAll = std::move(fn);
    updateButtons();
}

void TFrmEvents::setSilence(std::function<void()> fn) {
    m_silence = std::move(fn);
    BtnSilence->setVisible(bool(m_silence));
    updateButtons();
}

void TFrmEvents::setDate(const QDate& day) {
    if (DateTimePicker1->date() == day)
        refresh();
    else
        DateTimePicker1->setDate(day);
}

void TFrmEvents::refresh() {
    QString error;
    const QDate day = DateTimePicker1->date();
    const QList<AlarmEvent> events = EventLog::ReadDay(m_baseDir, day, &error);
    ListView2->clear();
    QList<QTreeWidgetItem*> items;
    for (const AlarmEvent& e : events)
        items << new QTreeWidgetItem(Row(e));
    ListView2->addTopLevelItems(items);
    Label4->setText(error.isEmpty() ? QStringLiteral("%1 共 %2 条事件")
                                          .arg(day.toString(QStringLiteral("yyyy-MM-dd")))
                                          .arg(events.size())
                                    : QStringLiteral("无法读取事件记录: %1").arg(error));
}

void TFrmEvents::showAlarms(const AlarmSnapshot& snapshot) {
    if (snapshot == m_snapshot)
        return;
    m_snapshot = snapshot;

    int selectedAddress = 0, selectedKind = -1;
    if (QTreeWidgetItem* current = ListView1->currentItem()) {
        selectedAddress = current->data(0, kAddressRole).toInt();
        selectedKind = current->data(0, kKindRole).toInt();
    }
    struct Standing {
        int address;
        int kind;
        AlarmSnapshot::Entry entry;
    };
    QList<Standing> standing;
    for (int n = 1; n <= 8; ++n) {
        for (int k = 0; k < kAlarmKinds; ++k) {
            const AlarmSnapshot::Entry& e = snapshot.alarms[n][k];
            if (e.state != AlarmState::Normal)
                standing.append({n, k, e});
        }
    }
    std::stable_sort(standing.begin(), standing.end(), [](const Standing& a, const Standing& b) {
        return a.entry.raised.time > b.entry.raised.time;
    });
    ListView1->clear();
    for (const Standing& s : standing) {
        QStringList columns = Row(s.entry.raised);
        columns << StateText(s.entry.state);
        auto* item = new QTreeWidgetItem(columns);
        item->setData(0, kAddressRole, s.address);
        item->setData(0, kKindRole, s.kind);
        if (s.entry.state != AlarmState::ActiveAcknowledged) {
            for (int c = 0; c < columns.size(); ++c)
                item->setForeground(c, QColor(0xd0, 0, 0));
        }
        ListView1->addTopLevelItem(item);
        if (s.address == selectedAddress && s.kind == selectedKind)
            ListView1->setCurrentItem(item);
    }
    if (!ListView1->currentItem() && ListView1->topLevelItemCount() > 0)
        ListView1->setCurrentItem(ListView1->topLevelItem(0));
    updateButtons();
    // A change of alarms came with new rows in today's file.
    if (DateTimePicker1->date() == QDate::currentDate())
        refresh();
}

void TFrmEvents::updateButtons() {
    const QTreeWidgetItem* current = ListView1->currentItem();
    const bool currentUnacknowledged =
        current && IsAlarmUnacknowledged(m_snapshot
                                             .at(current->data(0, kAddressRole).toInt(),
                                                 AlarmKind(current->data(0, kKindRole).toInt()))
                                             .state);
    BtnAck->setEnabled(bool(m_acknowledge) && currentUnacknowledged);
    BtnAckAll->setEnabled(bool(m_acknowledgeAll) && m_snapshot.anyUnacknowledged);
    BtnSilence->setEnabled(m_snapshot.anyUnacknowledged);
}

void TFrmEvents::BtnAckClick() {
    const QTreeWidgetItem* current = ListView1->currentItem();
    if (!current || !m_acknowledge)
        return;
    m_acknowledge(current->data(0, kAddressRole).toInt(), current->data(0, kKindRole).toInt());
}
