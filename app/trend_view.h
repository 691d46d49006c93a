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
#include <string>

class QLabel;
class QPushButton;

namespace orn {

class TrendPlot;

struct TTrendSample {
    uint32_t ms;         // the scheduler's clock
    double gas;          // NaN: shown in hexadecimal
    double temperature;  // NaN: the model has none
    double limit1;       // NaN: the model has none
    double limit2;
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
    const std::deque<TTrendSample>& Samples() const { return samples_; }
    int HexCount() const { return hexCount_; }
    int DevType() const { return devType_; }
    // A line under the caption (the state of the readings log).
    void SetNote(const QString& note);

    QPushButton* BtClear;

protected:
    void showEvent(QShowEvent* event) override;

private:
    friend class TrendPlot;
    void UpdateCaption();

    QLabel* caption_;
    QLabel* note_;
    QWidget* plot_;
    std::deque<TTrendSample> samples_;
    QString instrument_;
    QDateTime since_;   // local time of the first sample
    int devType_ = -1;
    int hexCount_ = 0;
    QString lastHex_;
};

} // namespace orn
