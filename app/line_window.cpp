#include "line_window.h"

#include "records_link.h"
#include "records_tools.h"
#include "service_tools.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QDateTime>
#include <QFile>
#include <QFileDialog>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLocale>
#include <QMenu>
#include <QMessageBox>
#include <QProgressBar>
#include <QRegularExpression>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace orn {

namespace {

QString Utf8(const std::string& s) { return QString::fromUtf8(s.data(), int(s.size())); }

// Rounds of the table at most this often (0: as fast as the line allows).
constexpr int PeriodsMs[] = {0, 1000, 2000, 5000, 10000};

// Colours of a row at or above threshold 1 and threshold 2, and of values
// not confirmed by the last read.
const QColor Alarm1(255, 236, 150);
const QColor Alarm2(255, 170, 160);
const QColor Stale(128, 128, 128);

} // namespace

TLineWindow::TLineWindow(TMForm& form, TMasterShare& share, Scheduler& scheduler, TServiceTools* tools,
                         TRecordsLink* records)
    : QWidget(&form, Qt::Window), form_(form), share_(share), scheduler_(scheduler), tools_(tools),
      records_(records), sep_(form.DecimalSeparator) {
    setObjectName(QStringLiteral("LineWindow"));
    setWindowTitle(tr("Линия"));
    BuildLayout();
    share_.OnFree = [this] { OnFree(); };
    ageTimer_ = scheduler_.createTimer([this] {
        ShowAges();
        if (BoxPoll->isChecked() && !rows_.empty()) share_.Wanted();
    });
    ageTimer_->setInterval(1000);
    ageTimer_->setEnabled(true);
    cycleTimer_ = scheduler_.createTimer([this] {
        cycleTimer_->setEnabled(false);
        share_.Wanted();
    });

    AskSaveFile = [this] {
        const QString name = QStringLiteral("line-%1.orn10line")
                                 .arg(Utf8(port_.empty() ? form_.MB->PortName() : port_)
                                          .section(QLatin1Char('/'), -1)
                                          .remove(QRegularExpression(QStringLiteral("[^A-Za-z0-9_.-]"))));
        return QFileDialog::getSaveFileName(this, tr("Сохранить список приборов линии"), name,
                                            tr("Список приборов линии (*.orn10line);;Все файлы (*)"));
    };
    AskOpenFile = [this] {
        return QFileDialog::getOpenFileName(this, tr("Открыть список приборов линии"), QString(),
                                            tr("Список приборов линии (*.orn10line);;Все файлы (*)"));
    };
    AskCopy = [this](const QString& text, const std::array<bool, SettingValueCount>& offered)
        -> std::optional<std::array<bool, SettingValueCount>> {
        QMessageBox box(QMessageBox::Question, tr("Уставки на выбранные приборы"), text, QMessageBox::NoButton, this);
        const QString names[SettingValueCount] = {tr("порог №1"), tr("порог №2"), tr("газ магнитной градуировки")};
        std::array<QCheckBox*, SettingValueCount> boxes{};
        auto* choice = new QWidget(&box);
        auto* layout = new QHBoxLayout(choice);
        for (int v = 0; v < SettingValueCount; ++v) {
            boxes[size_t(v)] = new QCheckBox(names[v], choice);
            boxes[size_t(v)]->setChecked(offered[size_t(v)]);
            boxes[size_t(v)]->setEnabled(offered[size_t(v)]);
            layout->addWidget(boxes[size_t(v)]);
        }
        box.setCheckBox(nullptr);
        if (auto* grid = qobject_cast<QGridLayout*>(box.layout())) grid->addWidget(choice, grid->rowCount(), 0, 1, -1);
        auto* write = box.addButton(tr("Записать"), QMessageBox::AcceptRole);
        box.addButton(tr("Отмена"), QMessageBox::RejectRole);
        box.setDefaultButton(write);
        box.exec();
        if (box.clickedButton() != write) return std::nullopt;
        std::array<bool, SettingValueCount> chosen{};
        for (int v = 0; v < SettingValueCount; ++v) chosen[size_t(v)] = boxes[size_t(v)]->isChecked();
        return chosen;
    };
    ShowMessage = [this](const QString& text) { QMessageBox::warning(this, tr("Линия"), text); };
    UpdateEstimate();
    UpdateControls();
}

TLineWindow::~TLineWindow() { share_.OnFree = nullptr; }

// ---------------------------------------------------------------- layout

void TLineWindow::BuildLayout() {
    auto* root = new QVBoxLayout(this);

    // The search.
    auto* search = new QGroupBox(tr("Поиск приборов на линии"), this);
    auto* sl = new QGridLayout(search);
    SpFrom = new QSpinBox(search);
    SpFrom->setObjectName(QStringLiteral("SpFrom"));
    SpFrom->setRange(1, 247);
    SpFrom->setValue(1);
    SpTo = new QSpinBox(search);
    SpTo->setObjectName(QStringLiteral("SpTo"));
    SpTo->setRange(1, 247);
    SpTo->setValue(247);
    SpTimeout = new QSpinBox(search);
    SpTimeout->setObjectName(QStringLiteral("SpTimeout"));
    SpTimeout->setRange(0, 5000);
    SpTimeout->setSingleStep(10);
    SpTimeout->setSpecialValueText(tr("авто"));
    SpTimeout->setSuffix(tr(" мс"));
    SpTimeout->setToolTip(tr("Сколько ждать начала ответа прибора при поиске и опросе; «авто» — время передачи "
                             "запроса и 40 мс. Медленным приборам дайте больше."));
    auto* range = new QHBoxLayout;
    range->addWidget(new QLabel(tr("Адреса с"), search));
    range->addWidget(SpFrom);
    range->addWidget(new QLabel(tr("по"), search));
    range->addWidget(SpTo);
    range->addSpacing(12);
    range->addWidget(new QLabel(tr("Ожидание ответа:"), search));
    range->addWidget(SpTimeout);
    range->addStretch(1);
    sl->addLayout(range, 0, 0, 1, 2);

    BoxSweep = new QCheckBox(tr("Перебрать скорости и чётности:"), search);
    BoxSweep->setObjectName(QStringLiteral("BoxSweep"));
    BoxSweep->setToolTip(tr("Когда настройки связи приборов неизвестны. Обычные настройки проверяются первыми; "
                            "для каждого прибора показано, на каких он ответил."));
    auto* sweep = new QHBoxLayout;
    sweep->addWidget(BoxSweep);
    for (size_t i = 0; i < BoxSpeeds.size(); ++i) {
        BoxSpeeds[i] = new QCheckBox(QString::number(SweepSpeeds[i]), search);
        BoxSpeeds[i]->setObjectName(QStringLiteral("BoxSpeed%1").arg(SweepSpeeds[i]));
        BoxSpeeds[i]->setChecked(true);
        sweep->addWidget(BoxSpeeds[i]);
    }
    const QString parityNames[3] = {tr("нет"), tr("нечёт"), tr("чёт")};
    sweep->addSpacing(8);
    for (size_t i = 0; i < BoxParities.size(); ++i) {
        BoxParities[i] = new QCheckBox(parityNames[i], search);
        BoxParities[i]->setObjectName(QStringLiteral("BoxParity%1").arg(QChar::fromLatin1(ParityLetter(SweepParities[i]))));
        BoxParities[i]->setChecked(true);
        sweep->addWidget(BoxParities[i]);
    }
    sweep->addStretch(1);
    sl->addLayout(sweep, 1, 0, 1, 2);

    BtScan = new QPushButton(tr("Найти приборы"), search);
    BtScan->setObjectName(QStringLiteral("BtScan"));
    LabelEstimate = new QLabel(search);
    LabelEstimate->setObjectName(QStringLiteral("LabelEstimate"));
    Progress = new QProgressBar(search);
    Progress->setObjectName(QStringLiteral("Progress"));
    Progress->setTextVisible(false);
    LabelProgress = new QLabel(search);
    LabelProgress->setObjectName(QStringLiteral("LabelProgress"));
    auto* run = new QHBoxLayout;
    run->addWidget(BtScan);
    run->addWidget(LabelEstimate, 1);
    sl->addLayout(run, 2, 0, 1, 2);
    sl->addWidget(Progress, 3, 0);
    sl->addWidget(LabelProgress, 3, 1);
    sl->setColumnStretch(0, 1);
    sl->setColumnStretch(1, 1);
    root->addWidget(search);

    // The table.
    Table = new QTableWidget(0, ColumnCount, this);
    Table->setObjectName(QStringLiteral("Table"));
    Table->setHorizontalHeaderLabels({tr("Адрес"), tr("Модель"), tr("Связь"), tr("Сер. номер"), tr("Газ, %об"),
                                      tr("Порог 1"), tr("Порог 2"), tr("Статус"), tr("Ток"), tr("Прочитан"),
                                      tr("Ошибка"), tr("Запись уставок")});
    Table->verticalHeader()->hide();
    Table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    Table->setSelectionBehavior(QAbstractItemView::SelectRows);
    Table->setSelectionMode(QAbstractItemView::ExtendedSelection);
    Table->setContextMenuPolicy(Qt::CustomContextMenu);
    Table->horizontalHeader()->setStretchLastSection(true);
    Table->setToolTip(tr("Двойной щелчок — выбрать прибор в главном окне и прочитать его."));
    root->addWidget(Table, 1);

    // Polling and recording.
    auto* poll = new QHBoxLayout;
    BoxPoll = new QCheckBox(tr("Опрашивать по кругу"), this);
    BoxPoll->setObjectName(QStringLiteral("BoxPoll"));
    BoxPoll->setChecked(true);
    CBPeriod = new QComboBox(this);
    CBPeriod->setObjectName(QStringLiteral("CBPeriod"));
    CBPeriod->addItem(tr("непрерывно"));
    for (size_t i = 1; i < std::size(PeriodsMs); ++i) CBPeriod->addItem(tr("не чаще раза в %1 с").arg(PeriodsMs[i] / 1000));
    BoxLog = new QCheckBox(tr("Записывать опрос в журнал показаний"), this);
    BoxLog->setObjectName(QStringLiteral("BoxLog"));
    BoxLog->setToolTip(tr("Каждое чтение прибора из таблицы — строка в файле журнала показаний, пока идёт запись "
                          "(меню «Сервис», Ctrl+L)."));
    BoxLog->setEnabled(tools_ != nullptr);
    poll->addWidget(BoxPoll);
    poll->addWidget(CBPeriod);
    poll->addSpacing(12);
    poll->addWidget(BoxLog);
    poll->addStretch(1);
    root->addLayout(poll);

    // Rows and files.
    auto* edit = new QHBoxLayout;
    SpAddress = new QSpinBox(this);
    SpAddress->setObjectName(QStringLiteral("SpAddress"));
    SpAddress->setRange(1, 247);
    CBModel = new QComboBox(this);
    CBModel->setObjectName(QStringLiteral("CBModel"));
    for (const TModelInfo& m : Models) CBModel->addItem(QString::fromUtf8(m.ItemText));
    CBModel->setCurrentIndex(InitialDevType);
    BtAdd = new QPushButton(tr("Добавить"), this);
    BtAdd->setObjectName(QStringLiteral("BtAdd"));
    BtAdd->setToolTip(tr("Добавить прибор с этим адресом и моделью на скорости и чётности главного окна."));
    BtRemove = new QPushButton(tr("Удалить"), this);
    BtRemove->setObjectName(QStringLiteral("BtRemove"));
    BtCopy = new QPushButton(tr("Уставки на выбранные…"), this);
    BtCopy->setObjectName(QStringLiteral("BtCopy"));
    BtCopy->setToolTip(tr("Записать пороги (и газ магнитной градуировки) текущей строки в остальные выделенные "
                          "приборы, с проверкой каждого значения и чтением после записи."));
    BtOpen = new QPushButton(tr("Открыть…"), this);
    BtOpen->setObjectName(QStringLiteral("BtOpen"));
    BtSave = new QPushButton(tr("Сохранить…"), this);
    BtSave->setObjectName(QStringLiteral("BtSave"));
    edit->addWidget(new QLabel(tr("Адрес:"), this));
    edit->addWidget(SpAddress);
    edit->addWidget(CBModel);
    edit->addWidget(BtAdd);
    edit->addWidget(BtRemove);
    edit->addSpacing(12);
    edit->addWidget(BtCopy);
    edit->addStretch(1);
    edit->addWidget(BtOpen);
    edit->addWidget(BtSave);
    root->addLayout(edit);

    LabelState = new QLabel(this);
    LabelState->setObjectName(QStringLiteral("LabelState"));
    LabelState->setWordWrap(true);
    root->addWidget(LabelState);

    // Handlers.
    for (QSpinBox* s : {SpFrom, SpTo, SpTimeout})
        connect(s, qOverload<int>(&QSpinBox::valueChanged), this, [this] { UpdateEstimate(); });
    connect(BoxSweep, &QCheckBox::toggled, this, [this] {
        UpdateEstimate();
        UpdateControls();
    });
    for (QCheckBox* b : BoxSpeeds) connect(b, &QCheckBox::toggled, this, [this] { UpdateEstimate(); });
    for (QCheckBox* b : BoxParities) connect(b, &QCheckBox::toggled, this, [this] { UpdateEstimate(); });
    connect(BtScan, &QPushButton::clicked, this, [this] {
        if (Scanning()) StopScan();
        else StartScan();
    });
    connect(BoxPoll, &QCheckBox::toggled, this, [this] {
        if (BoxPoll->isChecked()) share_.Wanted();
        UpdateControls();
    });
    connect(CBPeriod, qOverload<int>(&QComboBox::activated), this, [this] { share_.Wanted(); });
    connect(BtAdd, &QPushButton::clicked, this, [this] {
        const TLineSetting s{BaudRates[form_.MB->ComPortSpeed()], form_.MB->ComPortParity()};
        Table->selectRow(AddRow(SpAddress->value(), CBModel->currentIndex(), s, true));
    });
    connect(BtRemove, &QPushButton::clicked, this, [this] {
        std::vector<int> selected;
        for (const QModelIndex& i : Table->selectionModel()->selectedRows()) selected.push_back(i.row());
        std::sort(selected.rbegin(), selected.rend());
        for (int r : selected) RemoveRow(r);
    });
    connect(BtCopy, &QPushButton::clicked, this, [this] {
        const int source = Table->currentRow();
        std::vector<int> targets;
        for (const QModelIndex& i : Table->selectionModel()->selectedRows())
            if (i.row() != source) targets.push_back(i.row());
        std::sort(targets.begin(), targets.end());
        if (source < 0 || targets.empty()) {
            ShowMessage(tr("Сделайте текущей строку прибора, с которого берутся уставки, и выделите вместе с ней "
                           "строки приборов, в которые их записать (Ctrl+щелчок)."));
            return;
        }
        const TRow& src = rows_[size_t(source)];
        std::array<bool, SettingValueCount> offered{};
        QStringList values;
        for (int v = 0; v < SettingValueCount; ++v) {
            const uint8_t reg = SettingRegister(src.Entry.DevType, v);
            offered[size_t(v)] = src.Read && reg != 0;
            if (offered[size_t(v)]) values << ValueText(v, src.Image[reg]);
        }
        if (values.isEmpty()) {
            ShowMessage(tr("У прибора №%1 нет прочитанных порогов: дождитесь его чтения.").arg(src.Entry.Address));
            return;
        }
        const QString text = tr("Записать уставки прибора №%1 (%2) в приборы: %3?\n\nКаждый прибор сначала "
                                "читается; значение, которое он не примет (порог №1 выше порога №2, порог №2 выше "
                                "диапазона), не записывается. После записи прибор читается снова.")
                                 .arg(src.Entry.Address)
                                 .arg(values.join(QStringLiteral("; ")))
                                 .arg([&] {
                                     QStringList a;
                                     for (int t : targets) a << QStringLiteral("№%1").arg(rows_[size_t(t)].Entry.Address);
                                     return a.join(QStringLiteral(", "));
                                 }());
        const auto chosen = AskCopy ? AskCopy(text, offered) : std::optional<std::array<bool, SettingValueCount>>{};
        if (chosen) CopySettings(source, targets, *chosen);
    });
    connect(BtSave, &QPushButton::clicked, this, [this] {
        const QString path = AskSaveFile ? AskSaveFile() : QString();
        QString error;
        if (!path.isEmpty() && !SaveList(path, error)) ShowMessage(error);
    });
    connect(BtOpen, &QPushButton::clicked, this, [this] {
        const QString path = AskOpenFile ? AskOpenFile() : QString();
        QString error;
        if (!path.isEmpty() && !LoadList(path, error)) ShowMessage(error);
    });
    connect(Table, &QTableWidget::cellDoubleClicked, this, [this](int row, int) { HandOver(row); });
    connect(Table, &QTableWidget::customContextMenuRequested, this, [this](const QPoint& at) {
        const int row = Table->rowAt(at.y());
        if (row < 0) return;
        QMenu menu(this);
        menu.addAction(tr("Выбрать в главном окне"), this, [this, row] { HandOver(row); });
        QMenu* models = menu.addMenu(tr("Модель"));
        for (int d = 0; d < DevTypeCount; ++d)
            models->addAction(QString::fromUtf8(Models[size_t(d)].ItemText), this, [this, row, d] { SetModel(row, d); });
        menu.addAction(tr("Удалить"), this, [this, row] { RemoveRow(row); });
        menu.exec(Table->viewport()->mapToGlobal(at));
    });
    resize(980, 560);
}

// ---------------------------------------------------------------- plan

TScanPlan TLineWindow::Plan() const {
    TScanPlan plan;
    plan.From = SpFrom->value();
    plan.To = SpTo->value();
    plan.TimeoutMs = SpTimeout->value();
    const TLineSetting window{BaudRates[form_.MB->ComPortSpeed()], form_.MB->ComPortParity()};
    if (!BoxSweep->isChecked()) {
        plan.Settings = {window};
        return plan;
    }
    std::vector<TLineSetting> chosen;
    for (size_t i = 0; i < BoxSpeeds.size(); ++i)
        for (size_t k = 0; k < BoxParities.size(); ++k)
            if (BoxSpeeds[i]->isChecked() && BoxParities[k]->isChecked())
                chosen.push_back({SweepSpeeds[i], SweepParities[k]});
    plan.Settings = chosen.empty() ? std::vector<TLineSetting>{} : SweepOrder(chosen);
    return plan;
}

namespace {

QString Duration(double ms) {
    const long s = long(std::ceil(ms / 1000.0));
    if (s >= 3600) return QCoreApplication::translate("orn::TLineWindow", "%1 ч %2 мин").arg(s / 3600).arg((s / 60) % 60);
    if (s >= 60)
        return QCoreApplication::translate("orn::TLineWindow", "%1 мин %2 с").arg(s / 60).arg(s % 60, 2, 10, QLatin1Char('0'));
    return QCoreApplication::translate("orn::TLineWindow", "%1 с").arg(s);
}

} // namespace

void TLineWindow::UpdateEstimate() {
    const TScanPlan plan = Plan();
    const int addresses = std::max(0, plan.To - plan.From + 1);
    if (plan.Settings.empty() || addresses == 0) {
        LabelEstimate->setText(addresses == 0 ? tr("Первый адрес больше последнего.")
                                              : tr("Выберите хотя бы одну скорость и одну чётность."));
        return;
    }
    const QString settings = plan.Settings.size() == 1
                                 ? Utf8(SettingText(plan.Settings.front()))
                                 : tr("настроек связи: %1").arg(plan.Settings.size());
    LabelEstimate->setText(tr("Адресов: %1, %2 — около %3.")
                               .arg(addresses)
                               .arg(settings)
                               .arg(Duration(PlanSilentMs(plan))));
}

void TLineWindow::UpdateControls() {
    const bool scanning = Scanning();
    BtScan->setText(scanning ? tr("Стоп") : tr("Найти приборы"));
    for (QWidget* w : std::initializer_list<QWidget*>{SpFrom, SpTo, SpTimeout, BoxSweep, BtOpen}) w->setEnabled(!scanning);
    for (QCheckBox* b : BoxSpeeds) b->setEnabled(!scanning && BoxSweep->isChecked());
    for (QCheckBox* b : BoxParities) b->setEnabled(!scanning && BoxSweep->isChecked());
    BtCopy->setEnabled(!scanning && !Copying());
    BtRemove->setEnabled(!Copying());
    CBPeriod->setEnabled(BoxPoll->isChecked());
}

// ---------------------------------------------------------------- rows

int TLineWindow::RowOfId(int id) const {
    for (size_t i = 0; i < rows_.size(); ++i)
        if (rows_[i].Id == id) return int(i);
    return -1;
}

bool TLineWindow::PortMatches() const { return port_.empty() || port_ == form_.MB->PortName(); }

int TLineWindow::AddRow(int address, int devType, const TLineSetting& setting, bool modelSet) {
    if (rows_.empty()) port_ = form_.MB->PortName();
    for (size_t i = 0; i < rows_.size(); ++i) {
        TRow& r = rows_[i];
        if (r.Entry.Address != address || r.Entry.Setting != setting) continue;
        // Known already: a model the user chose stays.
        if (modelSet || !r.Entry.ModelSet) {
            if (r.Entry.DevType != devType) r.Read = false;
            r.Entry.DevType = devType;
            r.Entry.ModelSet = modelSet;
        }
        ShowRow(int(i));
        return int(i);
    }
    TRow r;
    r.Id = nextId_++;
    r.Entry.Address = address;
    r.Entry.DevType = devType;
    r.Entry.ModelSet = modelSet;
    r.Entry.Setting = setting;
    // In address order, then by settings as a sweep finds them.
    auto at = std::find_if(rows_.begin(), rows_.end(), [&](const TRow& o) { return o.Entry.Address > address; });
    const int index = int(at - rows_.begin());
    rows_.insert(at, r);
    Table->insertRow(index);
    for (int c = 0; c < ColumnCount; ++c) Table->setItem(index, c, new QTableWidgetItem);
    ShowRow(index);
    if (next_ > size_t(index)) ++next_;
    if (BoxPoll->isChecked()) share_.Wanted();
    return index;
}

void TLineWindow::RemoveRow(int row) {
    if (row < 0 || row >= int(rows_.size()) || Copying()) return;
    rows_.erase(rows_.begin() + row);
    Table->removeRow(row);
    if (next_ > size_t(row)) --next_;
    if (rows_.empty()) port_.clear();
}

void TLineWindow::SetModel(int row, int devType) {
    if (row < 0 || row >= int(rows_.size()) || !ValidDevType(devType)) return;
    TRow& r = rows_[size_t(row)];
    if (r.Entry.DevType != devType) r.Read = false;
    r.Entry.DevType = devType;
    r.Entry.ModelSet = true;
    ShowRow(row);
    share_.Wanted();
}

void TLineWindow::Clear() {
    if (Copying()) return;
    rows_.clear();
    Table->setRowCount(0);
    next_ = 0;
    port_.clear();
}

QString TLineWindow::ValueName(int value) const {
    const QString names[SettingValueCount] = {tr("порог №1"), tr("порог №2"), tr("газ магн. градуировки")};
    return names[value];
}

QString TLineWindow::ValueText(int value, uint16_t word) const {
    return ValueName(value) + QStringLiteral(" ") + Utf8(HundredthsText(word, sep_));
}

QString TLineWindow::CellText(int row, int column) const {
    const QTableWidgetItem* item = Table->item(row, column);
    return item ? item->text() : QString();
}

void TLineWindow::ShowRow(int row) {
    const TRow& r = rows_[size_t(row)];
    const int d = r.Entry.DevType;
    const TModelInfo* model = ModelOf(d);
    auto set = [&](int column, const QString& text) { Table->item(row, column)->setText(text); };
    set(ColAddress, QString::number(r.Entry.Address));
    set(ColModel, model ? QString::fromUtf8(model->ItemText) : tr("? (укажите)"));
    Table->item(row, ColModel)->setToolTip(r.Entry.ModelSet ? tr("Модель указана вручную")
                                                            : tr("Модель определена поиском по числу регистров"));
    set(ColSetting, Utf8(SettingText(r.Entry.Setting)));
    const bool shown = r.Read && model;
    auto reading = [&](int rowOfGrid) {
        if (!shown) return QString();
        return Utf8(ReadingText(d, rowOfGrid, r.Image, sep_).value_or(""));
    };
    set(ColSerial, reading(0));
    set(ColGas, reading(1));
    auto threshold = [&](int value) {
        const uint8_t reg = SettingRegister(d, value);
        if (!model) return QString();
        if (!reg) return QStringLiteral("—");
        return shown ? Utf8(HundredthsText(r.Image[reg], sep_)) : QString();
    };
    set(ColLimit1, threshold(svThreshold1));
    set(ColLimit2, threshold(svThreshold2));
    QString status;
    if (shown) {
        const uint16_t word = r.Image[StatusRegister(d)];
        status = Utf8(HexText(word));
        for (const TStatusBitInfo& b : StatusBits(d))
            if (word & b.Mask) {
                switch (b.Bit) {
                case TStatusBit::CurrentFixed: status += QStringLiteral(" ") + tr("ток фиксирован"); break;
                }
            }
    }
    set(ColStatus, status);
    QString current;
    if (model && !model->EnGBCur) current = QStringLiteral("—");
    else if (shown) current = r.Image.CurrentFixed() ? tr("фиксирован") : tr("нет");
    set(ColCurrent, current);
    set(ColError, r.Code != 0 ? Utf8(MBErrorText(r.Code)) : QString());
    set(ColCopy, r.Copy);
    Table->item(row, ColCopy)->setToolTip(r.Copy);

    // At or above a threshold: the row marked; values the last read did
    // not confirm: grey.
    const int level = shown && r.Code == 0 ? AlarmLevel(d, r.Image) : 0;
    for (int c = 0; c < ColumnCount; ++c) {
        QTableWidgetItem* item = Table->item(row, c);
        item->setBackground(level == 2 ? QBrush(Alarm2) : level == 1 ? QBrush(Alarm1) : QBrush());
        item->setForeground(r.Code != 0 && c != ColError ? QBrush(Stale) : QBrush());
    }
    Table->item(row, ColError)->setForeground(QBrush(QColor(200, 0, 0)));
    QFont bold = Table->item(row, ColGas)->font();
    bold.setBold(level > 0);
    Table->item(row, ColGas)->setFont(bold);
    Table->item(row, ColGas)->setToolTip(level == 2   ? tr("Не ниже порога №2")
                                         : level == 1 ? tr("Не ниже порога №1")
                                                      : QString());
    ShowAges();
}

void TLineWindow::ShowAges() {
    const uint32_t now = scheduler_.nowMs();
    for (size_t i = 0; i < rows_.size() && int(i) < Table->rowCount(); ++i) {
        const TRow& r = rows_[i];
        QString age;
        if (r.Read) {
            const uint32_t s = (now - r.ReadMs) / 1000;
            age = s == 0 ? tr("сейчас") : s < 60 ? tr("%1 с назад").arg(s) : tr("%1 мин назад").arg(s / 60);
        }
        Table->item(int(i), ColAge)->setText(age);
    }
}

void TLineWindow::ShowState(const QString& text) { LabelState->setText(text); }

int TLineWindow::TimeoutFor(const TLineSetting& s) const {
    return SpTimeout->value() > 0 ? SpTimeout->value() : DefaultProbeTimeoutMs(s);
}

// ---------------------------------------------------------------- the line's turn

void TLineWindow::OnFree() {
    if (busy_) return;
    if (scan_) SendProbe();
    else if (!copies_.empty()) CopyStep();
    else if (BoxPoll->isChecked() && !closed_) ReadNextRow();
}

void TLineWindow::closeEvent(QCloseEvent* event) {
    // Closed, the window reads nothing more (a copy under way finishes).
    closed_ = true;
    StopScan();
    QWidget::closeEvent(event);
}

void TLineWindow::showEvent(QShowEvent* event) {
    closed_ = false;
    share_.Wanted();
    QWidget::showEvent(event);
}

bool TLineWindow::SendFor(const TMasterShare::TRequest& q, TMasterShare::TDone done) {
    busy_ = true;
    const int sent = share_.Send(q, [this, done = std::move(done)](const TMasterShare::TResult& r) {
        busy_ = false;
        done(r);
    });
    if (sent == 0) return true;
    busy_ = false;
    if (sent == mbPortNotOpen) {
        const std::string reason = PortErrorReason(share_.OpenError());
        portProblem_ = tr("Порт %1 не открывается%2.")
                           .arg(Utf8(form_.MB->PortName()))
                           .arg(reason.empty() ? QString() : QStringLiteral(": ") + Utf8(reason));
        ShowState(portProblem_);
    }
    return false;
}

// ---------------------------------------------------------------- scan

void TLineWindow::StartScan() {
    if (Scanning()) return;
    const TScanPlan plan = Plan();
    if (plan.Settings.empty() || plan.From > plan.To) return;
    // The table is that of one line: a search on another port starts a new one.
    if (!rows_.empty() && !PortMatches()) Clear();
    if (rows_.empty()) port_ = form_.MB->PortName();
    scan_ = std::make_unique<TLineScan>(plan);
    stopping_ = false;
    Progress->setRange(0, scan_->Total());
    Progress->setValue(0);
    LabelProgress->clear();
    ShowState(tr("Поиск на %1…").arg(Utf8(port_)));
    UpdateControls();
    share_.Wanted();
}

void TLineWindow::StopScan() {
    if (!scan_) return;
    stopping_ = true;
    if (!busy_) EndScan();
}

void TLineWindow::SendProbe() {
    if (stopping_) {
        EndScan();
        return;
    }
    const auto probe = scan_->Next();
    if (!probe) {
        EndScan();
        return;
    }
    LabelProgress->setText(tr("№%1, %2 — найдено: %3")
                               .arg(probe->Slave)
                               .arg(Utf8(SettingText(probe->Setting)))
                               .arg(scan_->Found()));
    TMasterShare::TRequest q;
    q.Slave = probe->Slave;
    q.Function = 3;
    q.Offset = probe->Reg;
    q.Quantity = 1;
    q.Setting = probe->Setting;
    q.TimeoutMs = probe->TimeoutMs;
    if (!SendFor(q, [this](const TMasterShare::TResult& r) { ScanOutcome(r); })) {
        // The port cannot be opened: nothing can answer through it.
        scan_->Outcome(mbPortNotOpen);
        EndScan();
    }
}

void TLineWindow::ScanOutcome(const TMasterShare::TResult& r) {
    if (!scan_) return;
    if (r.Code == mbPortNotOpen)
        portProblem_ = tr("Порт %1 перестал работать: %2.")
                           .arg(Utf8(form_.MB->PortName()), Utf8(PortErrorReason(r.DeviceError)));
    if (const auto hit = scan_->Outcome(r.Code)) {
        const int row = AddRow(hit->Address, hit->DevType, hit->Setting, false);
        if (hit->Code != 0) {
            rows_[size_t(row)].Code = hit->Code;
            ShowRow(row);
        }
    }
    Progress->setValue(scan_->Done());
    if (scan_->Over() || stopping_) EndScan();
    else share_.Wanted();
}

void TLineWindow::EndScan() {
    if (!scan_) return;
    const int found = scan_->Found();
    QString text = tr("Найдено приборов: %1.").arg(found);
    if (scan_->PortFailed()) text += QStringLiteral(" ") + tr("Поиск прерван: порт не работает.") + QStringLiteral(" ") + portProblem_;
    else if (stopping_ || scan_->Stopped()) text += QStringLiteral(" ") + tr("Поиск остановлен.");
    Progress->setValue(scan_->Done());
    scan_.reset();
    stopping_ = false;
    LabelProgress->clear();
    ShowState(text);
    UpdateControls();
    share_.Wanted();
}

// ---------------------------------------------------------------- round-robin

bool TLineWindow::ReadNextRow() {
    if (rows_.empty()) return false;
    if (!PortMatches()) {
        ShowState(tr("Таблица — линии %1, а в главном окне выбран порт %2: опрос ждёт.")
                      .arg(Utf8(port_), Utf8(form_.MB->PortName())));
        return false;
    }
    const uint32_t now = scheduler_.nowMs();
    // The next row that can be read (one without a model cannot), starting
    // a new round after the last; nothing when no row can be read.
    bool found = false;
    for (size_t looked = 0; looked <= rows_.size() && !found; ++looked) {
        if (next_ >= rows_.size()) {
            // A round is over: the next waits for the period chosen.
            const int period = PeriodsMs[std::clamp(CBPeriod->currentIndex(), 0, int(std::size(PeriodsMs)) - 1)];
            const uint32_t due = cycleStartMs_ + uint32_t(period);
            if (period > 0 && int32_t(due - now) > 0) {
                cycleTimer_->setInterval(int(due - now));
                cycleTimer_->setEnabled(true);
                return false;
            }
            next_ = 0;
            cycleStartMs_ = now;
        }
        found = ValidDevType(rows_[next_].Entry.DevType);
        if (!found) ++next_;
    }
    if (!found) return false;
    const TRow& row = rows_[next_++];
    const TModelInfo& m = *ModelOf(row.Entry.DevType);
    TMasterShare::TRequest q;
    q.Slave = uint8_t(row.Entry.Address);
    q.Function = 3;
    q.Offset = m.RegOffset;
    q.Quantity = m.RegCount;
    q.Setting = row.Entry.Setting;
    q.TimeoutMs = TimeoutFor(row.Entry.Setting);
    const int id = row.Id;
    const int devType = row.Entry.DevType;
    return SendFor(q, [this, id, devType](const TMasterShare::TResult& r) {
        const int i = RowOfId(id);
        // A row whose model changed meanwhile was read as another block.
        if (i >= 0 && rows_[size_t(i)].Entry.DevType == devType) RowRead(id, r);
        share_.Wanted();
    });
}

void TLineWindow::RowRead(int id, const TMasterShare::TResult& r) {
    const int i = RowOfId(id);
    TRow& row = rows_[size_t(i)];
    row.Code = r.Code;
    if (r.Code == 0) {
        const TModelInfo& m = *ModelOf(row.Entry.DevType);
        row.Image = TRegImage{};
        row.Image.Store(m.RegOffset, r.Data);
        row.Read = true;
        row.ReadMs = scheduler_.nowMs();
        if (BoxLog->isChecked() && tools_)
            tools_->LogReading(port_, row.Entry.Address, row.Entry.DevType, row.Image);
    }
    ShowRow(i);
    if (r.Code == mbPortNotOpen)
        ShowState(portProblem_ = tr("Порт %1 перестал работать: %2.")
                                     .arg(Utf8(form_.MB->PortName()), Utf8(PortErrorReason(r.DeviceError))));
}

// ---------------------------------------------------------------- settings to many

bool TLineWindow::CopySettings(int source, const std::vector<int>& targets,
                               const std::array<bool, SettingValueCount>& which) {
    if (source < 0 || source >= int(rows_.size()) || Copying()) return false;
    const TRow& src = rows_[size_t(source)];
    if (!src.Read) return false;
    std::array<std::optional<uint16_t>, SettingValueCount> wanted{};
    bool any = false;
    for (int v = 0; v < SettingValueCount; ++v) {
        const uint8_t reg = SettingRegister(src.Entry.DevType, v);
        if (which[size_t(v)] && reg) {
            wanted[size_t(v)] = src.Image[reg];
            any = true;
        }
    }
    if (!any) return false;
    for (int t : targets) {
        if (t < 0 || t >= int(rows_.size()) || t == source) continue;
        TCopyJob job;
        job.RowId = rows_[size_t(t)].Id;
        job.SourceAddress = src.Entry.Address;
        job.Wanted = wanted;
        copies_.push_back(job);
        rows_[size_t(t)].Copy = tr("ждёт записи");
        ShowRow(t);
    }
    copied_ = 0;
    copyTotal_ = int(copies_.size());
    if (copies_.empty()) return false;
    ShowState(tr("Запись уставок: 0 из %1…").arg(copyTotal_));
    UpdateControls();
    share_.Wanted();
    return true;
}

void TLineWindow::CopyStep() {
    TCopyJob& job = copies_.front();
    const int i = RowOfId(job.RowId);
    if (i < 0) {
        copies_.pop_front();
        FinishCopy();
        return;
    }
    const TRow& row = rows_[size_t(i)];
    TMasterShare::TRequest q;
    q.Slave = uint8_t(row.Entry.Address);
    q.Setting = row.Entry.Setting;
    q.TimeoutMs = TimeoutFor(row.Entry.Setting);
    if (job.Phase == TCopyJob::ReadBefore) {
        job.DevType = row.Entry.DevType;
        if (!ValidDevType(job.DevType)) {
            job.Notes << tr("модель неизвестна: ничего не записано");
            FinishCopy();
            return;
        }
    }
    const TModelInfo& m = *ModelOf(job.DevType);
    if (job.Phase == TCopyJob::Writing) {
        // Each value under the window's checks against the image as the
        // writes before it have left it.
        while (job.Next < job.Writes.size()) {
            const TSettingWrite& w = job.Writes[job.Next];
            const TValueRange range = WriteRange(job.DevType, w.Reg, job.Image);
            if (TypedValueWritable(job.DevType, w.Reg, w.Word) && range.Contains(w.Word)) break;
            job.Notes << tr("%1 не записан: вне %2…%3")
                             .arg(ValueText(w.Value, w.Word), Utf8(HundredthsText(range.Low, sep_)),
                                  Utf8(HundredthsText(range.High, sep_)));
            ++job.Next;
        }
        if (job.Next >= job.Writes.size()) {
            job.Phase = TCopyJob::ReadBack;
            if (job.Written.empty()) {
                FinishCopy();
                return;
            }
        }
    }
    if (job.Phase == TCopyJob::Writing) {
        const TSettingWrite& w = job.Writes[job.Next];
        q.Function = 6;
        q.Offset = w.Reg;
        q.Value = w.Word;
    } else {
        q.Function = 3;
        q.Offset = m.RegOffset;
        q.Quantity = m.RegCount;
    }
    if (!SendFor(q, [this](const TMasterShare::TResult& r) { CopyOutcome(r); })) {
        job.Notes << tr("порт не открывается");
        FinishCopy();
    }
}

void TLineWindow::CopyOutcome(const TMasterShare::TResult& r) {
    TCopyJob& job = copies_.front();
    const TModelInfo& m = *ModelOf(job.DevType);
    switch (job.Phase) {
    case TCopyJob::ReadBefore:
        if (r.Code != 0) {
            job.Notes << tr("не прочитан (%1): ничего не записано").arg(Utf8(MBErrorText(r.Code)));
            FinishCopy();
            return;
        }
        job.Before.Store(m.RegOffset, r.Data);
        job.Image = job.Before;
        job.Writes = SettingWrites(job.DevType, job.Wanted, job.Image);
        for (int v = 0; v < SettingValueCount; ++v)
            if (job.Wanted[size_t(v)] && !SettingRegister(job.DevType, v))
                job.Notes << tr("%1: нет у этой модели").arg(ValueName(v));
        job.Phase = TCopyJob::Writing;
        break;
    case TCopyJob::Writing: {
        const TSettingWrite w = job.Writes[job.Next++];
        const TRegImage before = job.Image;
        if (r.Code == 0) {
            job.Image.Store(w.Reg, r.Data);
            job.Written.push_back(w);
        } else {
            job.Notes << tr("%1: %2").arg(ValueText(w.Value, w.Word), Utf8(MBErrorText(r.Code)));
            // Unanswered, it may have been carried out: read back all the same.
            if (r.Code == mbTimeout || r.Code == mbCommError) job.Written.push_back(w);
        }
        Record(job, w, before, r.Code);
        break;
    }
    case TCopyJob::ReadBack: {
        if (r.Code != 0) {
            job.Notes << tr("не прочитан после записи (%1)").arg(Utf8(MBErrorText(r.Code)));
            FinishCopy();
            return;
        }
        TRegImage after;
        after.Store(m.RegOffset, r.Data);
        QStringList confirmed;
        for (const TSettingWrite& w : job.Written) {
            if (after[w.Reg] == w.Word) confirmed << ValueText(w.Value, w.Word);
            else
                job.Notes << tr("%1: прочитано %2").arg(ValueText(w.Value, w.Word), Utf8(HundredthsText(after[w.Reg], sep_)));
        }
        if (!confirmed.isEmpty()) job.Notes.prepend(tr("записано: %1").arg(confirmed.join(QStringLiteral(", "))));
        const int i = RowOfId(job.RowId);
        if (i >= 0 && rows_[size_t(i)].Entry.DevType == job.DevType) {
            TRow& row = rows_[size_t(i)];
            row.Image = after;
            row.Read = true;
            row.Code = 0;
            row.ReadMs = scheduler_.nowMs();
        }
        FinishCopy();
        return;
    }
    }
    share_.Wanted();
}

void TLineWindow::Record(const TCopyJob& job, const TSettingWrite& w, const TRegImage& before, int code) {
    // As the window records its own writes: one the instrument confirmed,
    // or one that went out unanswered; one it refused changed nothing.
    if (!records_ || (code != 0 && code != mbTimeout && code != mbCommError)) return;
    const int i = RowOfId(job.RowId);
    if (i < 0) return;
    const TRow& row = rows_[size_t(i)];
    records::TServiceRecord rec = records::NewRecord();
    rec.model = ModelShortName(job.DevType);
    rec.serial = SerialNumberOf(job.DevType, job.Before);
    rec.address = row.Entry.Address;
    rec.port = port_;
    rec.kind = records::TKind::Write;
    rec.action = WriteAction(job.DevType, w.Reg, w.Word, before);
    rec.reg = w.Reg;
    rec.valueBefore = before[w.Reg];
    rec.valueAfter = w.Word;
    rec.result = code == 0 ? records::TResult::Done : records::TResult::Unconfirmed;
    rec.notes = tr("уставки прибора №%1").arg(job.SourceAddress).toStdString();
    if (code != 0) rec.notes += std::string("; ") + MBErrorText(code);
    rec.technician = records_->Technician().toStdString();
    records_->Submit(std::move(rec));
}

void TLineWindow::FinishCopy() {
    if (copies_.empty()) return;
    const TCopyJob job = copies_.front();
    copies_.pop_front();
    ++copied_;
    const int i = RowOfId(job.RowId);
    if (i >= 0) {
        rows_[size_t(i)].Copy = job.Notes.join(QStringLiteral("; "));
        ShowRow(i);
    }
    if (copies_.empty()) {
        ShowState(tr("Запись уставок закончена: %1 приборов; итог каждого — в столбце «Запись уставок».").arg(copied_));
        UpdateControls();
    } else {
        ShowState(tr("Запись уставок: %1 из %2…").arg(copied_).arg(copyTotal_));
    }
    share_.Wanted();
}

// ---------------------------------------------------------------- hand-over

void TLineWindow::HandOver(int row) {
    if (row < 0 || row >= int(rows_.size())) return;
    const TRow& r = rows_[size_t(row)];
    if (!ValidDevType(r.Entry.DevType)) {
        ShowState(tr("Модель прибора №%1 неизвестна: укажите её (правая кнопка мыши → «Модель»).").arg(r.Entry.Address));
        return;
    }
    if (form_.Finding) {
        ShowState(tr("В главном окне идёт поиск: прибор передаётся после него."));
        return;
    }
    if (form_.CBDev->currentIndex() != r.Entry.DevType) {
        form_.CBDev->setCurrentIndex(r.Entry.DevType);
        form_.CBDevChange();
    }
    const int speed = form_.CBPortSpeed->findText(QString::number(r.Entry.Setting.Speed));
    if (speed >= 0 && speed != form_.CBPortSpeed->currentIndex()) {
        form_.CBPortSpeed->setCurrentIndex(speed);
        form_.CBPortSpeedChange();
    }
    if (int(r.Entry.Setting.Parity) != form_.CBParity->currentIndex()) {
        form_.CBParity->setCurrentIndex(int(r.Entry.Setting.Parity));
        form_.CBParityChange();
    }
    form_.CBAddr->setEditText(QString::number(r.Entry.Address));
    form_.SBtReadClick();
    form_.raise();
    form_.activateWindow();
}

// ---------------------------------------------------------------- files

bool TLineWindow::SaveList(const QString& path, QString& error) const {
    TLineList list;
    list.Port = port_.empty() ? form_.MB->PortName() : port_;
    for (const TRow& r : rows_) list.Entries.push_back(r.Entry);
    return WriteWholeFile(path, FormatLineList(list), error);
}

bool TLineWindow::LoadList(const QString& path, QString& error) {
    if (Scanning() || Copying()) {
        error = tr("Дождитесь конца поиска или записи уставок.");
        return false;
    }
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        error = tr("Не могу прочитать %1: %2").arg(path, file.errorString());
        return false;
    }
    // A list of a line is a few kilobytes; anything far larger is no such list.
    const QByteArray data = file.read(1 << 20);
    TLineList list;
    std::string why;
    if (!ParseLineList(data.toStdString(), list, why)) {
        error = tr("%1 — не список приборов линии (%2).").arg(path, Utf8(why));
        return false;
    }
    Clear();
    for (const TLineEntry& e : list.Entries) AddRow(e.Address, e.DevType, e.Setting, e.ModelSet);
    // The list is read on the port chosen in the main window now; the
    // one it was saved on is said.
    ShowState(tr("Открыт список %1: приборов %2 (сохранён для порта %3); опрос — через порт %4.")
                  .arg(path)
                  .arg(list.Entries.size())
                  .arg(Utf8(list.Port), Utf8(port_)));
    return true;
}

// ---------------------------------------------------------------- the tools

TLineTools::TLineTools(TMForm& form, Scheduler& scheduler, TServiceTools& tools, TRecordsTools* records)
    : form_(form), scheduler_(scheduler), tools_(tools), records_(records), share_(form, scheduler) {
    tools_.SetLineTool([this] { Show(); });
}

TLineTools::~TLineTools() {
    tools_.SetLineTool(nullptr);
    // The window goes before the share it sends through.
    delete window_;
}

TLineWindow* TLineTools::Window() {
    if (!window_) window_ = new TLineWindow(form_, share_, scheduler_, &tools_, records_ ? &records_->Link() : nullptr);
    return window_;
}

void TLineTools::Show() {
    TLineWindow* w = Window();
    w->show();
    w->raise();
    w->activateWindow();
}

} // namespace orn
