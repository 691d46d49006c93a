// The trend: gas concentration and temperature of the instrument over the
// session, with its thresholds, drawn with QPainter as reads come in.
//
// The samples are the values the readings table shows (the same decoding);
// a gas value the table shows in hexadecimal (9999 or more: a command's
// echo or out of range) is no concentration, so the line breaks there and a
// mark on the top edge shows it.  No line joins two reads more than three
// read intervals apart.  Another instrument (port, address or model) starts
// the trend over.
#pragma once

#include "instruments.h"

#include <QDateTime>
#include <QWidget>

#include <cstdint>
#include <deque>
#include <optional>
#include <string>

class QLabel;
class QPushButton;

namespace orn {

struct TTrendSample {
    uint32_t ms;         // the scheduler's clock
    double gas;          // NaN: shown in hexadecimal
    double temperature;  // NaN: the model has none
    double limit1;       // NaN: the model has none
    double limit2;
};

// The trend zoomed on a target, as a calibration watches it: the gas axis
// spans the target's band and the recent readings only, the band target ±
// tolerance is drawn, and the stretch over which the reading has kept
// within ±tolerance of its latest value is marked (green once it is long
// enough to count as stable).  No temperature, no thresholds.
struct TTrendFocus {
    double target = 0;
    double tolerance = 0.2;
    std::optional<double> passLine;   // a level to reach (a bump test), drawn dashed
    uint32_t windowMs = 30000;        // the time a reading must keep within the band
    uint32_t stableMs = 0;            // how long it has
};

// The drawing, with its samples: the trend view has one, the calibration
// dialog another.
class TTrendPlot : public QWidget {
    Q_OBJECT

public:
    explicit TTrendPlot(QWidget* parent = nullptr);

    // A successful read of `devType` at `ms`, decoded as the table shows it
    // (`sep` is its decimal separator).
    void Add(uint32_t ms, int devType, const TRegImage& image, const std::string& sep);
    void Clear();

    std::deque<TTrendSample> samples;
    int devType = -1;
    int hexCount = 0;
    QString lastHex;
    std::optional<TTrendFocus> focus;

protected:
    void paintEvent(QPaintEvent* event) override;
};

// Reads come every 2 s in auto mode; a pause longer than three of them is
// a gap that no line of the trend crosses.
constexpr uint32_t TrendReadIntervalMs = 2000;
bool TrendGapBefore(const std::deque<TTrendSample>& samples, size_t i);

class TTrendView : public QWidget {
    Q_OBJECT

public:
    static constexpr size_t MaxSamples = 43200;   // a day at one read per 2 s

    explicit TTrendView(QWidget* parent = nullptr);

    // A successful read of `devType`: `instrument` names it ("№1 …, COM1"),
    // `image` holds the answer, `sep` is the table's decimal separator.
    void AddReading(uint32_t ms, const QString& instrument, int devType, const TRegImage& image,
                    const std::string& sep);
    void Clear();
    const std::deque<TTrendSample>& Samples() const { return plot_->samples; }
    int HexCount() const { return plot_->hexCount; }
    int DevType() const { return plot_->devType; }
    // A line under the caption (the state of the readings log).
    void SetNote(const QString& note);

    QPushButton* BtClear;

protected:
    void showEvent(QShowEvent* event) override;

private:
    void UpdateCaption();

    QLabel* caption_;
    QLabel* note_;
    TTrendPlot* plot_;
    QString instrument_;
    QDateTime since_;   // local time of the first sample
};

} // namespace orn
