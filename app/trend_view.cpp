#include "trend_view.h"

#include "readings_log.h"

#include <QDateTime>
#include <QHBoxLayout>
#include <QLabel>
#include <QLocale>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

#include <climits>
#include <cmath>
#include <limits>

namespace orn {

namespace {

constexpr double NaN = std::numeric_limits<double>::quiet_NaN();

QString Utf8(const char* s) { return QString::fromUtf8(s); }

// A label without its unit: "Порог №1, %об" -> "Порог №1".
QString Name(const char* label) { return Utf8(label).section(QLatin1Char(','), 0, 0); }

// An axis from lo to hi in round steps, about `ticks` of them.
struct Axis {
    double lo, hi, step;
    int Decimals() const { return std::max(0, int(-std::floor(std::log10(step) + 1e-9))); }
};

Axis NiceAxis(double lo, double hi, int ticks) {
    if (!(hi > lo)) {
        lo -= 0.5;
        hi += 0.5;
    }
    const double raw = (hi - lo) / ticks;
    const double mag = std::pow(10.0, std::floor(std::log10(raw)));
    const double f = raw / mag;
    const double step = mag * (f <= 1 ? 1 : f <= 2 ? 2 : f <= 5 ? 5 : 10);
    return {std::floor(lo / step + 1e-9) * step, std::ceil(hi / step - 1e-9) * step, step};
}

const QColor GasColor(0, 90, 200);
const QColor TemperatureColor(210, 90, 0);
const QColor Limit1Color(220, 150, 0);
const QColor Limit2Color(200, 0, 0);
const QColor HexColor(160, 0, 160);

} // namespace

bool TrendGapBefore(const std::deque<TTrendSample>& samples, size_t i) {
    return i > 0 && i < samples.size() && samples[i].ms - samples[i - 1].ms > 3 * TrendReadIntervalMs;
}

// ---------------------------------------------------------------- the drawing

TTrendPlot::TTrendPlot(QWidget* parent) : QWidget(parent) { setMinimumSize(480, 260); }

void TTrendPlot::Add(uint32_t ms, int dev, const TRegImage& image, const std::string& sep) {
    devType = dev;
    const QString point = QString::fromStdString(sep);
    auto value = [&](int row) {
        const auto text = ReadingText(dev, row, image, sep);
        if (!text || HexReading(row, *text, sep)) return NaN;
        bool ok = false;
        const double v = QString::fromStdString(*text).replace(point, QStringLiteral(".")).toDouble(&ok);
        return ok ? v : NaN;
    };
    const TTrendSample sample{ms, value(GasRow), value(TemperatureRow), value(Limit1Row), value(Limit2Row)};
    if (std::isnan(sample.gas)) {
        ++hexCount;
        lastHex = QString::fromStdString(ReadingText(dev, GasRow, image, sep).value_or(""));
    }
    samples.push_back(sample);
    if (samples.size() > TTrendView::MaxSamples) samples.pop_front();
    if (isVisible()) update();
}

void TTrendPlot::Clear() {
    samples.clear();
    hexCount = 0;
    lastHex.clear();
    update();
}

void TTrendPlot::paintEvent(QPaintEvent* /*event*/) {
    QPainter p(this);
    p.fillRect(rect(), Qt::white);
    const auto& s = samples;
    const QFontMetrics fm = p.fontMetrics();
    if (s.empty()) {
        p.setPen(Qt::darkGray);
        p.drawText(rect(), Qt::AlignCenter,
                   focus ? tr("Ждём показаний прибора…")
                         : Utf8("Показаний пока нет: нажмите «Читать» или включите «Авто»."));
        return;
    }
    const QLocale locale = QLocale::system();
    const int side = fm.horizontalAdvance(QStringLiteral("0000,00")) + 12;
    const QRect area = rect().adjusted(side, fm.height() * 3, -side, -fm.height() * 2 - 10);
    if (area.width() < 50 || area.height() < 50) return;

    // Ranges: minutes since the first sample; gas from 0 to the highest
    // value or threshold (zoomed on a target: the band and the readings of
    // the last window); temperature around its values.
    const uint32_t t0 = s.front().ms;
    double gasHi = 0, tLo = INFINITY, tHi = -INFINITY;
    for (const TTrendSample& x : s) {
        for (double v : {x.gas, x.limit1, x.limit2})
            if (!std::isnan(v)) gasHi = std::max(gasHi, v);
        if (!std::isnan(x.temperature) && !focus) {
            tLo = std::min(tLo, x.temperature);
            tHi = std::max(tHi, x.temperature);
        }
    }
    const Axis time = NiceAxis(0, std::max(1.0, (s.back().ms - t0) / 60000.0), 8);
    Axis gas = NiceAxis(0, gasHi > 0 ? gasHi * 1.05 : 1.0, 6);
    if (focus) {
        double lo = focus->target - 2 * focus->tolerance, hi = focus->target + 2 * focus->tolerance;
        if (focus->passLine) {
            lo = std::min(lo, *focus->passLine - 2 * focus->tolerance);
            hi = std::max(hi, *focus->passLine);
        }
        for (const TTrendSample& x : s)
            if (!std::isnan(x.gas) && s.back().ms - x.ms <= focus->windowMs) {
                lo = std::min(lo, x.gas - focus->tolerance);
                hi = std::max(hi, x.gas + focus->tolerance);
            }
        gas = NiceAxis(lo, hi, 6);
    }
    const bool hasTemperature = tLo <= tHi;
    const Axis temp = hasTemperature ? NiceAxis(tLo, tHi, 6) : Axis{0, 1, 1};
    auto X = [&](uint32_t ms) { return area.left() + (ms - t0) / 60000.0 / time.hi * area.width(); };
    auto Y = [&](const Axis& a, double v) { return area.bottom() - (v - a.lo) / (a.hi - a.lo) * area.height(); };

    // Grid and axes.
    p.setPen(QColor(225, 225, 225));
    for (double v = gas.lo; v <= gas.hi + gas.step / 2; v += gas.step)
        p.drawLine(QPointF(area.left(), Y(gas, v)), QPointF(area.right(), Y(gas, v)));
    for (double m = 0; m <= time.hi + time.step / 2; m += time.step)
        p.drawLine(QPointF(area.left() + m / time.hi * area.width(), area.top()),
                   QPointF(area.left() + m / time.hi * area.width(), area.bottom()));
    p.setPen(Qt::black);
    p.drawRect(area);
    const int dev = devType;
    for (double v = gas.lo; v <= gas.hi + gas.step / 2; v += gas.step)
        p.drawText(QRectF(0, Y(gas, v) - fm.height(), area.left() - 4, 2 * fm.height()),
                   Qt::AlignRight | Qt::AlignVCenter, locale.toString(v, 'f', gas.Decimals()));
    for (double m = 0; m <= time.hi + time.step / 2; m += time.step)
        p.drawText(QRectF(area.left() + m / time.hi * area.width() - 40, area.bottom() + 2, 80, fm.height()),
                   Qt::AlignHCenter | Qt::AlignTop, locale.toString(m, 'f', time.Decimals()));
    p.drawText(QRectF(area.left(), area.bottom() + fm.height() + 4, area.width(), fm.height()), Qt::AlignHCenter,
               Utf8("время от начала, мин"));
    p.setPen(GasColor);
    p.drawText(QRectF(0, area.top() - fm.height() - 4, area.left() + 40, fm.height()), Qt::AlignLeft,
               Utf8(RowLabels(dev, GasRow)));
    if (hasTemperature) {
        p.setPen(TemperatureColor);
        for (double v = temp.lo; v <= temp.hi + temp.step / 2; v += temp.step)
            p.drawText(QRectF(area.right() + 4, Y(temp, v) - fm.height(), side, 2 * fm.height()),
                       Qt::AlignLeft | Qt::AlignVCenter, locale.toString(v, 'f', temp.Decimals()));
        p.drawText(QRectF(area.right() - 40, area.top() - fm.height() - 4, side + 40, fm.height()), Qt::AlignRight,
                   Utf8(RowLabels(dev, TemperatureRow)));
    }

    p.setClipRect(area.adjusted(-2, -8, 2, 2));
    p.setRenderHint(QPainter::Antialiasing);

    if (focus) {
        // The target's band, the level to reach, and the stretch the reading
        // has kept within ±tolerance of its latest value.
        const QColor band(40, 160, 60);
        const QRectF target(QPointF(area.left(), Y(gas, focus->target + focus->tolerance)),
                            QPointF(area.right(), Y(gas, focus->target - focus->tolerance)));
        p.fillRect(target, QColor(40, 160, 60, 40));
        p.setPen(QPen(band, 1, Qt::DashLine));
        p.drawLine(QPointF(area.left(), Y(gas, focus->target)), QPointF(area.right(), Y(gas, focus->target)));
        if (focus->passLine) {
            p.setPen(QPen(Limit2Color, 1.5, Qt::DashLine));
            p.drawLine(QPointF(area.left(), Y(gas, *focus->passLine)), QPointF(area.right(), Y(gas, *focus->passLine)));
        }
        const TTrendSample& last = s.back();
        if (!std::isnan(last.gas) && focus->stableMs > 0) {
            const bool stable = focus->stableMs >= focus->windowMs;
            const uint32_t since = last.ms - std::min(focus->stableMs, last.ms - t0);
            const QRectF kept(QPointF(X(since), Y(gas, last.gas + focus->tolerance)),
                              QPointF(X(last.ms), Y(gas, last.gas - focus->tolerance)));
            p.fillRect(kept, stable ? QColor(40, 160, 60, 90) : QColor(230, 150, 0, 70));
        }
    }

    // Thresholds: steps, each value held until the next read, one polyline
    // per stretch of reads so that the dashes run on across the reads.  A
    // stretch that ends at a gap holds its value for one read interval.
    auto threshold = [&](double TTrendSample::*member, const QColor& color, int row) {
        p.setPen(QPen(color, 1.5, Qt::DashLine));
        QPolygonF steps;
        double lastValue = NaN;
        auto flush = [&](double endX) {
            if (steps.isEmpty()) return;
            steps << QPointF(endX, steps.last().y());
            p.drawPolyline(steps);
            steps.clear();
        };
        for (size_t i = 0; i < s.size(); ++i) {
            const double v = s[i].*member;
            if (i > 0 && (std::isnan(v) || TrendGapBefore(s, i))) flush(X(s[i - 1].ms + TrendReadIntervalMs));
            if (std::isnan(v)) continue;
            if (!steps.isEmpty()) steps << QPointF(X(s[i].ms), steps.last().y());
            steps << QPointF(X(s[i].ms), Y(gas, v));
            lastValue = v;
        }
        flush(area.right());
        if (std::isnan(lastValue)) return;
        p.setPen(color);
        p.drawText(QRectF(area.left(), Y(gas, lastValue) - fm.height() - 1, area.width() - 4, fm.height()),
                   Qt::AlignRight | Qt::AlignBottom,
                   Name(RowLabels(dev, row)) + QStringLiteral(": ") + locale.toString(lastValue, 'f', 2));
    };
    if (!focus) {
        threshold(&TTrendSample::limit1, Limit1Color, Limit1Row);
        threshold(&TTrendSample::limit2, Limit2Color, Limit2Row);
    }

    // A value line, broken where there is no number and where the reads
    // paused (TrendGapBefore).  Samples that fall in
    // one pixel column are drawn as that column's first, lowest, highest and
    // last point, so a long session costs no more than the width.
    auto series = [&](double TTrendSample::*member, const Axis& a, const QPen& pen) {
        p.setPen(pen);
        QPolygonF line;
        int column = INT_MIN;
        double first = 0, low = 0, high = 0, last = 0;
        auto flushColumn = [&] {
            if (column != INT_MIN)
                line << QPointF(column, first) << QPointF(column, low) << QPointF(column, high) << QPointF(column, last);
            column = INT_MIN;
        };
        auto draw = [&] {
            flushColumn();
            if (line.size() == 4) p.drawEllipse(line.front(), 1.5, 1.5);
            else if (!line.isEmpty())
                p.drawPolyline(line);
            line.clear();
        };
        for (size_t i = 0; i < s.size(); ++i) {
            const TTrendSample& x = s[i];
            const double v = x.*member;
            if (std::isnan(v) || TrendGapBefore(s, i)) draw();
            if (std::isnan(v)) continue;
            const int col = int(std::lround(X(x.ms)));
            const double y = Y(a, v);
            if (col != column) {
                flushColumn();
                column = col;
                first = low = high = last = y;
            } else {
                low = std::min(low, y);
                high = std::max(high, y);
                last = y;
            }
        }
        draw();
    };
    // The gas line last, on a white edge: where the temperature line meets
    // or runs along it, the gas line stays in sight.
    if (hasTemperature) series(&TTrendSample::temperature, temp, QPen(TemperatureColor, 1.5));
    series(&TTrendSample::gas, gas, QPen(Qt::white, 5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    series(&TTrendSample::gas, gas, QPen(GasColor, 2));

    // Gas values shown in hexadecimal: a mark on the top edge.
    p.setPen(Qt::NoPen);
    p.setBrush(HexColor);
    for (const TTrendSample& x : s) {
        if (!std::isnan(x.gas)) continue;
        const double cx = X(x.ms);
        const double top = area.top();
        p.drawPolygon(QPolygonF({QPointF(cx - 4, top - 7), QPointF(cx + 4, top - 7), QPointF(cx, top)}));
    }
    p.setClipping(false);

    // Legend.
    double x = area.left();
    const double y = fm.height() * 0.5 + 2;
    auto legend = [&](const QPen& pen, const QString& text, bool mark = false) {
        if (mark) {
            p.setPen(Qt::NoPen);
            p.setBrush(HexColor);
            p.drawPolygon(QPolygonF({QPointF(x + 4, y - 4), QPointF(x + 12, y - 4), QPointF(x + 8, y + 3)}));
            p.setBrush(Qt::NoBrush);
        } else {
            p.setPen(pen);
            p.drawLine(QPointF(x, y), QPointF(x + 18, y));
        }
        p.setPen(Qt::black);
        p.drawText(QPointF(x + 22, y + fm.ascent() / 2.0 - 1), text);
        x += 22 + fm.horizontalAdvance(text) + 16;
    };
    legend(QPen(GasColor, 2), Name(RowLabels(dev, GasRow)));
    if (focus) {
        legend(QPen(QColor(40, 160, 60), 6),
               tr("цель %1 ± %2")
                   .arg(locale.toString(focus->target, 'f', 2), locale.toString(focus->tolerance, 'f', 2)));
        if (focus->passLine)
            legend(QPen(Limit2Color, 1.5, Qt::DashLine),
                   tr("проверка: %1").arg(locale.toString(*focus->passLine, 'f', 2)));
    }
    if (hasTemperature) legend(QPen(TemperatureColor, 1.5), Name(RowLabels(dev, TemperatureRow)));
    if (!focus && RowUsed(dev, Limit1Row))
        legend(QPen(Limit1Color, 1.5, Qt::DashLine), Name(RowLabels(dev, Limit1Row)));
    if (!focus && RowUsed(dev, Limit2Row))
        legend(QPen(Limit2Color, 1.5, Qt::DashLine), Name(RowLabels(dev, Limit2Row)));
    if (hexCount > 0) legend(QPen(), Utf8("газ не числом: %1 (последнее %2)").arg(hexCount).arg(lastHex), true);
}

// ---------------------------------------------------------------- the window

TTrendView::TTrendView(QWidget* parent) : QWidget(parent, Qt::Window) {
    setObjectName(QStringLiteral("TrendView"));
    setWindowTitle(Utf8("График концентрации"));
    resize(780, 440);
    caption_ = new QLabel(this);
    note_ = new QLabel(this);
    BtClear = new QPushButton(Utf8("Очистить"), this);
    BtClear->setToolTip(Utf8("Начать график заново"));
    plot_ = new TTrendPlot(this);
    auto* top = new QHBoxLayout;
    auto* texts = new QVBoxLayout;
    texts->addWidget(caption_);
    texts->addWidget(note_);
    top->addLayout(texts, 1);
    top->addWidget(BtClear, 0, Qt::AlignTop);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(plot_, 1);
    connect(BtClear, &QPushButton::clicked, this, [this] { Clear(); });
    UpdateCaption();
}

void TTrendView::AddReading(uint32_t ms, const QString& instrument, int devType, const TRegImage& image,
                            const std::string& sep) {
    if (instrument != instrument_ || devType != plot_->devType) {
        Clear();
        instrument_ = instrument;
    }
    if (plot_->samples.empty()) since_ = QDateTime::currentDateTime();
    plot_->Add(ms, devType, image, sep);
    if (isVisible()) UpdateCaption();
}

void TTrendView::Clear() {
    plot_->Clear();
    UpdateCaption();
}

void TTrendView::SetNote(const QString& note) { note_->setText(note); }

void TTrendView::UpdateCaption() {
    if (plot_->samples.empty()) {
        caption_->setText(instrument_.isEmpty() ? Utf8("Прибор ещё не прочитан") : instrument_);
        return;
    }
    caption_->setText(Utf8("%1 — показаний: %2 с %3")
                          .arg(instrument_)
                          .arg(plot_->samples.size())
                          .arg(since_.toString(QStringLiteral("HH:mm:ss"))));
}

void TTrendView::showEvent(QShowEvent* event) {
    UpdateCaption();
    QWidget::showEvent(event);
}

} // namespace orn
