#include "traffic_view.h"

#include "frames.h"
#include "instruments.h"
#include "port_list.h"

#include <QApplication>
#include <QClipboard>
#include <QDateTime>
#include <QFileDialog>
#include <QFontDatabase>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QPushButton>
#include <QSaveFile>
#include <QScrollBar>
#include <QShortcut>
#include <QTableView>
#include <QVBoxLayout>

#include <algorithm>

namespace orn {

namespace {

QString Utf8(const char* s) { return QString::fromUtf8(s); }

// "01 03 00 01" from bytes.
QString Hex(const uint8_t* data, size_t n) {
    static const char digits[] = "0123456789ABCDEF";
    QString out;
    out.reserve(int(n * 3));
    for (size_t i = 0; i < n; ++i) {
        if (i) out += QLatin1Char(' ');
        out += QLatin1Char(digits[data[i] >> 4]);
        out += QLatin1Char(digits[data[i] & 15]);
    }
    return out;
}

QString ErrorWords(int code) { return Utf8(MBErrorText(code)).trimmed(); }

bool IsVerdict(LineEventKind k) {
    return k == LineEventKind::EchoRemoved || k == LineEventKind::Skipped || k == LineEventKind::Foreign ||
           k == LineEventKind::Late || k == LineEventKind::Outcome;
}

} // namespace

// ---------------------------------------------------------------- the log

TTrafficLog::TTrafficLog(int capacity, QObject* parent)
    : QAbstractTableModel(parent),
      ring_(size_t(std::max(1, capacity))),
      fixedFont_(QFontDatabase::systemFont(QFontDatabase::FixedFont)) {
    WallClock = [] { return QDateTime::currentMSecsSinceEpoch(); };
}

TTrafficRecord* TTrafficLog::OpenRecord() {
    if (openSerial_ == 0 || openSerial_ - 1 < firstSerial_) return nullptr;   // none, or pushed out
    return &ring_[Slot(int(openSerial_ - 1 - firstSerial_))];
}

TTrafficRecord& TTrafficLog::Begin(const LineEvent& e) {
    if (count_ == ring_.size()) {
        beginRemoveRows(QModelIndex(), 0, 0);
        head_ = (head_ + 1) % ring_.size();
        --count_;
        ++firstSerial_;
        endRemoveRows();
    }
    const int row = int(count_);
    beginInsertRows(QModelIndex(), row, row);
    TTrafficRecord& r = ring_[Slot(row)];
    // The slot's storage is reused as it is, so that a full ring allocates nothing more.
    r.steps.clear();
    r.bytes.clear();
    r.wallMs = WallClock();
    r.startMs = e.ms;
    r.slave = e.slave;
    r.function = e.function;
    r.outcome = TTrafficRecord::Open;
    r.truncated = false;
    r.port = port_;
    r.openError = 0;
    r.endMs = 0;
    ++count_;
    endInsertRows();
    return r;
}

void TTrafficLog::AddStep(TTrafficRecord& r, const LineEvent& e) {
    if (r.steps.size() >= MaxSteps) {
        r.truncated = true;
        return;
    }
    const size_t keep = std::min(e.size, MaxBytes - r.bytes.size());
    if (keep < e.size) r.truncated = true;
    if (keep) r.bytes.insert(r.bytes.end(), e.data, e.data + keep);
    r.steps.push_back({e.kind, e.code, uint16_t(keep), e.ms - r.startMs});
}

void TTrafficLog::Changed(const TTrafficRecord& r) {
    // Cell by cell: a view repaints just the cell for one index, but its
    // whole visible part for a range.
    const int row = int(&r - ring_.data() + ring_.size() - head_) % int(ring_.size());
    for (int column : {ColAnswer, ColOutcome}) emit dataChanged(index(row, column), index(row, column));
}

void TTrafficLog::Feed(const LineEvent& e) {
    TTrafficRecord* open = OpenRecord();
    const bool requested = open && !open->steps.empty() && open->steps.front().kind == LineEventKind::Sent;
    if (e.kind == LineEventKind::Sent) {
        // A new request ends whatever was still open without an outcome.
        if (open) {
            open->outcome = TTrafficRecord::Unfinished;
            Changed(*open);
        }
        TTrafficRecord& r = Begin(e);
        openSerial_ = firstSerial_ + count_;
        AddStep(r, e);
        Changed(r);
        return;
    }
    if (e.kind != LineEventKind::Outcome) {
        // Bytes and verdicts belong to the open request; bytes without one
        // get a record of their own, open until the next request.
        if (!open) {
            open = &Begin(e);
            openSerial_ = firstSerial_ + count_;
        }
        AddStep(*open, e);
        Changed(*open);
        return;
    }
    // Outcomes.  "More time" does not end the request; a refusal because a
    // request is open is a line of its own and leaves that request open.
    if (requested && e.code == mbMoreTime) {
        AddStep(*open, e);
        Changed(*open);
        return;
    }
    if (requested && e.code != mbMasterBusy) {
        open->outcome = e.code;
        open->endMs = e.ms - open->startMs;
        endedSerial_ = openSerial_;
        openSerial_ = 0;
        Changed(*open);
        return;
    }
    if (open && !requested) {
        open->outcome = TTrafficRecord::Unfinished;
        openSerial_ = 0;
        Changed(*open);
    }
    const uint64_t keepOpen = openSerial_;
    TTrafficRecord& r = Begin(e);
    r.outcome = e.code;
    openSerial_ = keepOpen;
    Changed(r);
}

void TTrafficLog::SetPort(const QString& port) {
    int i = ports_.indexOf(port);
    if (i < 0) {
        ports_ << port;
        i = int(ports_.size()) - 1;
    }
    port_ = uint16_t(std::min(i, 0xFFFF));
}

void TTrafficLog::AddLate(const uint8_t* data, size_t size, uint32_t ms) {
    // Only on the line of the request that ended last, while no other is
    // under way (and it is still kept).
    if (openSerial_ != 0 || endedSerial_ == 0 || endedSerial_ - 1 < firstSerial_ || size == 0) return;
    TTrafficRecord& r = ring_[Slot(int(endedSerial_ - 1 - firstSerial_))];
    // Pieces that follow each other closely (a frame as the UART delivers
    // it) are one piece, with the time of its first byte.
    constexpr uint32_t PieceGapMs = 50;
    TTrafficRecord::Step* last = r.steps.empty() ? nullptr : &r.steps.back();
    if (last && last->kind == LineEventKind::Received && last->dtMs > r.endMs && ms - lateMs_ <= PieceGapMs) {
        const size_t keep = std::min(size, MaxBytes - r.bytes.size());
        r.truncated = r.truncated || keep < size;
        r.bytes.insert(r.bytes.end(), data, data + keep);
        last->size = uint16_t(last->size + keep);
    } else {
        LineEvent e{LineEventKind::Received};
        e.ms = std::max(ms, r.startMs + r.endMs + 1);   // after the end, whatever the clock's rounding
        e.data = data;
        e.size = size;
        AddStep(r, e);
    }
    lateMs_ = ms;
    Changed(r);
}

void TTrafficLog::AddOpenFailure(int error) {
    TTrafficRecord* open = OpenRecord();
    if (open) {
        open->outcome = TTrafficRecord::Unfinished;
        openSerial_ = 0;
        Changed(*open);
    }
    TTrafficRecord& r = Begin(LineEvent{LineEventKind::Outcome});
    r.outcome = TTrafficRecord::OpenFailed;
    r.openError = uint16_t(error > 0 && error < 0x10000 ? error : 0);
    endedSerial_ = 0;
    Changed(r);
}

void TTrafficLog::Clear() {
    beginResetModel();
    for (TTrafficRecord& r : ring_) {
        // Storage is given back: a cleared log holds nothing.
        r.steps = {};
        r.bytes = {};
    }
    head_ = count_ = 0;
    openSerial_ = endedSerial_ = 0;
    endResetModel();
}

size_t TTrafficLog::MemoryBytes() const {
    size_t n = ring_.capacity() * sizeof(TTrafficRecord);
    for (const TTrafficRecord& r : ring_)
        n += r.steps.capacity() * sizeof(TTrafficRecord::Step) + r.bytes.capacity();
    return n;
}

QString TTrafficLog::Text(int row, int column) const {
    const TTrafficRecord& r = Record(row);
    QStringList parts, lateParts;
    size_t at = 0;
    // Bytes after a request's outcome came late: the master never saw them.
    const auto late = [&r](const TTrafficRecord::Step& s) {
        return r.outcome >= 0 && s.kind == LineEventKind::Received && s.dtMs > r.endMs;
    };
    const auto received = [](const TTrafficRecord::Step& s, const QString& bytes) {
        return QStringLiteral("[+%1 ").arg(s.dtMs) + Utf8("мс] ") + bytes;
    };
    switch (column) {
    case ColTime: return QDateTime::fromMSecsSinceEpoch(r.wallMs).toString(QStringLiteral("HH:mm:ss.zzz"));
    case ColPort: return r.port < ports_.size() ? ports_[r.port] : QString();
    case ColRequest:
        if (!r.steps.empty() && r.steps.front().kind == LineEventKind::Sent)
            return Hex(r.bytes.data(), r.steps.front().size);
        return Utf8("—");
    case ColAnswer:
        for (const auto& s : r.steps) {
            if (s.kind == LineEventKind::Received && !late(s)) parts << received(s, Hex(r.bytes.data() + at, s.size));
            at += s.size;
        }
        if (r.truncated) parts << Utf8("…");
        return parts.join(QStringLiteral("  "));
    case ColOutcome:
        for (const auto& s : r.steps) {
            const QString bytes = Hex(r.bytes.data() + at, s.size);
            at += s.size;
            if (late(s)) {
                lateParts << received(s, bytes);
                continue;
            }
            if (!IsVerdict(s.kind)) continue;
            switch (s.kind) {
            case LineEventKind::EchoRemoved: parts << Utf8("эхо удалено"); break;
            case LineEventKind::Skipped: parts << Utf8("пропущены байты: ") + bytes; break;
            case LineEventKind::Foreign: parts << Utf8("чужой кадр отброшен: ") + bytes; break;
            case LineEventKind::Late: parts << Utf8("запоздалый ответ отброшен: ") + bytes; break;
            default: parts << ErrorWords(s.code); break;
            }
        }
        if (r.outcome == TTrafficRecord::Open) parts << Utf8("ждёт ответа…");
        else if (r.outcome == 0) parts << QStringLiteral("Ok");
        else if (r.outcome > 0) parts << ErrorWords(r.outcome);
        else if (r.outcome == TTrafficRecord::OpenFailed)
            parts << tr("не могу открыть порт") + (r.openError ? Utf8(" — ") : QString()) +
                         QString::fromStdString(PortErrorReason(r.openError));
        if (!lateParts.isEmpty())
            parts << (r.outcome == mbTimeout ? tr("после тайм-аута пришло: ") : tr("после окончания пришло: ")) +
                         lateParts.join(QStringLiteral("  "));
        return parts.join(QStringLiteral("; "));
    default: return {};
    }
}

QString TTrafficLog::Line(int row) const {
    const QString answer = Text(row, ColAnswer);
    return Text(row, ColTime) + QStringLiteral("  ") + Text(row, ColPort) + Utf8("  → ") + Text(row, ColRequest) +
           Utf8("  ← ") +
           (answer.isEmpty() ? Utf8("—") : answer) + QStringLiteral("  ") + Text(row, ColOutcome);
}

int TTrafficLog::rowCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : int(count_); }
int TTrafficLog::columnCount(const QModelIndex& parent) const { return parent.isValid() ? 0 : ColumnCount; }

QVariant TTrafficLog::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= int(count_)) return {};
    switch (role) {
    case Qt::DisplayRole:
    case Qt::ToolTipRole: return Text(index.row(), index.column());
    case Qt::FontRole:
        if (index.column() != ColOutcome) return fixedFont_;
        return {};
    case Qt::ForegroundRole: {
        const int16_t outcome = Record(index.row()).outcome;
        const bool failed = outcome > 0 || outcome == TTrafficRecord::OpenFailed;
        if (index.column() == ColOutcome && failed) return QColor(176, 0, 0);
        return {};
    }
    default: return {};
    }
}

QVariant TTrafficLog::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole) return {};
    switch (section) {
    case ColTime: return Utf8("Время");
    case ColPort: return tr("Порт");
    case ColRequest: return Utf8("Запрос");
    case ColAnswer: return Utf8("Ответ, как пришёл");
    case ColOutcome: return Utf8("Итог");
    default: return {};
    }
}

// ---------------------------------------------------------------- the window

TTrafficView::TTrafficView(QWidget* parent, int capacity) : QWidget(parent, Qt::Window) {
    setObjectName(QStringLiteral("TrafficView"));
    setWindowTitle(Utf8("Обмен по линии"));
    resize(1100, 420);
    log_ = new TTrafficLog(capacity, this);

    BtPause = new QPushButton(Utf8("Пауза"), this);
    BtPause->setCheckable(true);
    BtPause->setToolTip(Utf8("Остановить запись обмена; обмен на линии продолжается"));
    BtClear = new QPushButton(Utf8("Очистить"), this);
    BtCopy = new QPushButton(Utf8("Копировать"), this);
    BtCopy->setToolTip(Utf8("Копировать выделенные строки (Ctrl+C)"));
    BtSave = new QPushButton(Utf8("Сохранить…"), this);
    BtSave->setToolTip(Utf8("Сохранить все строки в текстовый файл (Ctrl+S)"));
    state_ = new QLabel(this);

    table_ = new QTableView(this);
    table_->setModel(log_);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setSelectionMode(QAbstractItemView::ExtendedSelection);
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->setWordWrap(false);
    table_->setAlternatingRowColors(true);
    table_->verticalHeader()->hide();
    table_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    table_->verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 4);
    table_->horizontalHeader()->setStretchLastSection(true);
    const QFontMetrics fixed(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    const int digit = fixed.horizontalAdvance(QLatin1Char('0'));
    table_->setColumnWidth(TTrafficLog::ColTime, digit * 14);
    table_->setColumnWidth(TTrafficLog::ColPort, digit * 9);
    table_->setColumnWidth(TTrafficLog::ColRequest, digit * 26);
    table_->setColumnWidth(TTrafficLog::ColAnswer, digit * 56);

    auto* buttons = new QHBoxLayout;
    for (QWidget* w : {static_cast<QWidget*>(BtPause), static_cast<QWidget*>(BtClear),
                       static_cast<QWidget*>(BtCopy), static_cast<QWidget*>(BtSave)})
        buttons->addWidget(w);
    buttons->addWidget(state_, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(buttons);
    layout->addWidget(table_);

    AskSaveFile = [this] {
        const QString now = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
        const QString name = QStringLiteral("orn10-traffic-%1.txt").arg(now);
        return QFileDialog::getSaveFileName(this, Utf8("Сохранить обмен по линии"), name,
                                            Utf8("Текст (*.txt);;Все файлы (*)"));
    };

    connect(BtPause, &QPushButton::toggled, this, [this](bool on) { SetPaused(on); });
    connect(BtClear, &QPushButton::clicked, this, [this] { log_->Clear(); });
    connect(BtCopy, &QPushButton::clicked, this, [this] { CopySelected(); });
    connect(BtSave, &QPushButton::clicked, this, [this] { Save(); });
    connect(new QShortcut(QKeySequence::Copy, table_), &QShortcut::activated, this, [this] { CopySelected(); });
    connect(new QShortcut(QKeySequence::Save, this), &QShortcut::activated, this, [this] { Save(); });
    // The newest line stays in sight while the view is scrolled to the end.
    connect(log_, &QAbstractItemModel::rowsAboutToBeInserted, this, [this] {
        const QScrollBar* bar = table_->verticalScrollBar();
        follow_ = bar->value() == bar->maximum();
    });
    connect(log_, &QAbstractItemModel::rowsInserted, this, [this] {
        if (follow_) table_->scrollToBottom();
        UpdateState();
    });
    connect(log_, &QAbstractItemModel::modelReset, this, [this] { UpdateState(); });
    UpdateState();
}

void TTrafficView::UpdateState() {
    QString text = Utf8("Строк: %1 (хранятся последние %2)").arg(log_->Count()).arg(log_->Capacity());
    if (paused_) text += Utf8(" — пауза, обмен не записывается");
    state_->setStyleSheet(QString());
    state_->setText(text);
    const bool listening = Listening();
    if (listening != listening_) {
        listening_ = listening;
        if (OnListening) OnListening(listening);
    }
}

void TTrafficView::SetPaused(bool paused) {
    paused_ = paused;
    if (BtPause->isChecked() != paused) BtPause->setChecked(paused);
    UpdateState();
}

void TTrafficView::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    UpdateState();
}

void TTrafficView::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    UpdateState();
}

void TTrafficView::CopySelected() {
    QModelIndexList rows = table_->selectionModel()->selectedRows();
    std::sort(rows.begin(), rows.end(), [](const QModelIndex& a, const QModelIndex& b) { return a.row() < b.row(); });
    QStringList lines;
    for (const QModelIndex& i : rows) lines << log_->Line(i.row());
    if (!lines.isEmpty()) QApplication::clipboard()->setText(lines.join(QLatin1Char('\n')) + QLatin1Char('\n'));
}

bool TTrafficView::SaveTo(const QString& path) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Text)) return false;
    QByteArray text = (Utf8("Обмен по линии, сохранено ") +
                       QDateTime::currentDateTime().toString(QStringLiteral("dd.MM.yyyy HH:mm:ss")) + QLatin1Char('\n'))
                          .toUtf8();
    for (int row = 0; row < log_->Count(); ++row) text += log_->Line(row).toUtf8() + '\n';
    file.write(text);
    return file.commit();
}

void TTrafficView::Save() {
    const QString path = AskSaveFile ? AskSaveFile() : QString();
    if (path.isEmpty()) return;
    const bool saved = SaveTo(path);
    UpdateState();
    state_->setText(saved ? Utf8("Сохранено строк: %1 в %2").arg(log_->Count()).arg(path)
                          : Utf8("Не удалось сохранить в %1").arg(path));
    if (!saved) state_->setStyleSheet(QStringLiteral("color: #b00000"));
}

} // namespace orn
