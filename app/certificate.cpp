#include "certificate.h"

#include "instruments.h"
#include "platform.h"
#include "records_link.h"
#include "report.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QPainter>
#include <QPdfWriter>

namespace orn {

using namespace records;

namespace {

QString Tr(const char* text) { return QCoreApplication::translate("orn::Certificate", text); }
QString Rec(const char* text) { return QCoreApplication::translate(TextContext, text); }

QString ModelText(const std::string& shortName) {
    for (int dev = 0; dev < DevTypeCount; ++dev)
        if (ModelShortName(dev) == shortName) return FromUtf8(ModelOf(dev)->ItemText);
    return FromUtf8(shortName);
}

// Lays out the page in millimetres.
class TPage {
public:
    TPage(QPainter& p, double unitsPerMm) : p_(p), k_(unitsPerMm) {}

    double Y() const { return y_; }
    void Skip(double mm) { y_ += mm; }
    QRectF Mm(double x, double y, double w, double h) const { return QRectF(x * k_, y * k_, w * k_, h * k_); }

    void Font(double pt, bool bold = false) {
        QFont f(QStringLiteral("DejaVu Sans"));
        f.setStyleHint(QFont::SansSerif);
        f.setPointSizeF(pt);
        f.setBold(bold);
        p_.setFont(f);
    }
    // Text from x to the right edge, wrapped; moves down by its height.
    void Text(double x, const QString& text, double pt, bool bold = false, Qt::Alignment align = Qt::AlignLeft) {
        Font(pt, bold);
        const QRectF box = Mm(x, y_, Right - x, 200);
        const QRectF used = p_.boundingRect(box, int(align) | Qt::TextWordWrap, text);
        p_.drawText(box, int(align) | Qt::TextWordWrap, text);
        y_ += used.height() / k_ + 1.2;
    }
    // A heading with a rule under it.
    void Heading(const QString& text) {
        Skip(3);
        Text(Left, text, 11, true);
        p_.setPen(QPen(Qt::black, 0.3 * k_));
        p_.drawLine(QPointF(Left * k_, y_ * k_), QPointF(Right * k_, y_ * k_));
        y_ += 2;
    }
    // Label and value in two columns.
    void Pair(const QString& label, const QString& value) {
        Font(10);
        const QRectF l = Mm(Left, y_, 62, 40), v = Mm(Left + 64, y_, Right - Left - 64, 40);
        const double h = std::max(p_.boundingRect(l, Qt::TextWordWrap, label).height(),
                                  p_.boundingRect(v, Qt::TextWordWrap, value).height());
        p_.setPen(QColor(80, 80, 80));
        p_.drawText(l, Qt::TextWordWrap, label);
        p_.setPen(Qt::black);
        p_.drawText(v, Qt::TextWordWrap, value.isEmpty() ? QStringLiteral("—") : value);
        y_ += h / k_ + 1.5;
    }
    // A table of readings: a header and rows of three cells.
    void Table(const QStringList& header, const QList<QStringList>& rows) {
        const double w[3] = {70, 50, 50};
        auto row = [&](const QStringList& cells, bool bold) {
            Font(10, bold);
            double x = Left;
            for (int i = 0; i < 3; ++i) {
                const QRectF cell = Mm(x, y_, w[i], 8);
                p_.setPen(QPen(Qt::black, 0.2 * k_));
                p_.drawRect(cell);
                p_.drawText(cell.adjusted(2 * k_, 0, -2 * k_, 0),
                            int(i == 0 ? Qt::AlignLeft : Qt::AlignHCenter) | Qt::AlignVCenter, cells.value(i));
                x += w[i];
            }
            y_ += 8;
        };
        row(header, true);
        for (const QStringList& r : rows) row(r, false);
        y_ += 2;
    }
    void Rule(double x, double w) {
        p_.setPen(QPen(Qt::black, 0.2 * k_));
        p_.drawLine(QPointF(x * k_, y_ * k_), QPointF((x + w) * k_, y_ * k_));
    }

    static constexpr double Left = 20, Right = 190;

private:
    QPainter& p_;
    double k_;
    double y_ = 18;
};

} // namespace

QString CertificatePath(const TServiceRecord& r) {
    const QString name = Tr("Протокол %1 %2 %3.pdf")
                             .arg(r.serial ? QString::number(*r.serial) : QStringLiteral("—"),
                                  FromUtf8(LocalDate(r.atUtc)), FromUtf8(r.uuid.substr(0, 8)));
    return QDir(FromUtf8(CertificateDirectory())).filePath(name);
}

bool WriteCertificate(const QString& path, const TServiceRecord& r, const QString& sep, QString& error) {
    if (!QDir().mkpath(QFileInfo(path).absolutePath())) {
        error = Tr("Не могу создать папку %1").arg(QFileInfo(path).absolutePath());
        return false;
    }
    QPdfWriter pdf(path);
    pdf.setPageSize(QPageSize(QPageSize::A4));
    pdf.setPageMargins(QMarginsF(0, 0, 0, 0));
    pdf.setResolution(300);
    pdf.setTitle(Tr("Протокол калибровки"));
    pdf.setCreator(FromUtf8(r.program));
    QPainter p;
    if (!p.begin(&pdf)) {
        error = Tr("Не могу записать файл %1").arg(path);
        return false;
    }
    const std::string s = sep.toStdString();
    auto pct = [&](const std::optional<double>& v) { return v ? FromUtf8(Concentration(*v, s)) : QStringLiteral("—"); };
    TPage page(p, 300 / 25.4);

    page.Text(TPage::Left, Tr("Протокол калибровки"), 18, true, Qt::AlignHCenter);
    page.Text(TPage::Left,
              Tr("%1 — запись № %2 от %3").arg(Rec(KindName(r.kind)), FromUtf8(r.uuid.substr(0, 8)),
                                                FromUtf8(ShownTime(r.atUtc))),
              10, false, Qt::AlignHCenter);

    page.Heading(Tr("Прибор"));
    page.Pair(Tr("Модель"), ModelText(r.model));
    page.Pair(Tr("Серийный номер"), r.serial ? QString::number(*r.serial) : QString());
    page.Pair(Tr("Адрес на линии, порт"), Tr("%1, %2").arg(r.address).arg(FromUtf8(r.port)));
    page.Pair(Tr("Объект, линия"), FromUtf8(r.site));

    if (r.gasConcentration) {
        page.Heading(Tr("Поверочная газовая смесь"));
        page.Pair(Tr("Концентрация, %об"), pct(r.gasConcentration));
        page.Pair(Tr("Партия баллона"), FromUtf8(r.cylinderLot));
        page.Pair(Tr("Баллон годен до"), FromUtf8(ShownDate(r.cylinderExpiry)));
    }

    page.Heading(Tr("Показания прибора, %об"));
    QList<QStringList> rows;
    if (r.kind == TKind::Bump) {
        rows << QStringList{Tr("Чистый воздух, до подачи газа"), pct(r.zeroBefore), QStringLiteral("—")};
        rows << QStringList{Tr("Поверочный газ, наибольшее"), pct(r.gasBefore), QStringLiteral("—")};
    } else {
        if (r.kind != TKind::Span) rows << QStringList{Tr("Нулевой газ"), pct(r.zeroBefore), pct(r.zeroAfter)};
        if (r.kind != TKind::Zero) rows << QStringList{Tr("Поверочный газ"), pct(r.gasBefore), pct(r.gasAfter)};
    }
    page.Table({Tr("Газ"), Tr("до настройки"), Tr("после настройки")}, rows);
    page.Pair(Tr("Критерии"), FromUtf8(r.criteria));
    page.Pair(Tr("Отправлено в прибор"), r.action.empty() ? Tr("ничего") : FromUtf8(ActionName(r.action)));
    if (!r.notes.empty()) page.Pair(Tr("Примечание"), FromUtf8(r.notes));

    page.Heading(Tr("Результат"));
    p.setPen(r.result == TResult::Pass ? QColor(0, 110, 30) : QColor(180, 0, 0));
    page.Text(TPage::Left, Rec(ResultName(r.result)).toUpper(), 16, true);
    p.setPen(Qt::black);
    page.Pair(Tr("Исполнитель"), FromUtf8(r.technician));
    page.Pair(Tr("Дата и время"), FromUtf8(ShownTime(r.atUtc)));
    page.Pair(Tr("Программа"), FromUtf8(r.program));

    // Lines to sign.
    page.Skip(14);
    for (const QString& who : {Tr("Исполнитель"), Tr("Представитель заказчика")}) {
        page.Font(10);
        p.drawText(page.Mm(TPage::Left, page.Y() - 5, 60, 6), Qt::AlignLeft | Qt::AlignBottom, who);
        page.Rule(TPage::Left + 62, 45);
        page.Rule(TPage::Left + 112, 58);
        p.setPen(QColor(110, 110, 110));
        page.Font(7);
        p.drawText(page.Mm(TPage::Left + 62, page.Y() + 0.5, 45, 4), Qt::AlignHCenter, Tr("подпись"));
        p.drawText(page.Mm(TPage::Left + 112, page.Y() + 0.5, 58, 4), Qt::AlignHCenter, Tr("фамилия, инициалы"));
        p.setPen(Qt::black);
        page.Skip(16);
    }
    page.Font(10);
    p.drawText(page.Mm(TPage::Left, page.Y() - 5, 60, 6), Qt::AlignLeft | Qt::AlignBottom, Tr("Дата"));
    page.Rule(TPage::Left + 62, 45);

    page.Font(7);
    p.setPen(QColor(110, 110, 110));
    p.drawText(page.Mm(TPage::Left, 282, TPage::Right - TPage::Left, 5), Qt::AlignLeft,
               Tr("Запись журнала обслуживания %1").arg(FromUtf8(r.uuid)));
    if (!p.end()) {
        error = Tr("Не могу записать файл %1").arg(path);
        return false;
    }
    return true;
}

} // namespace orn
