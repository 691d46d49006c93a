// "Протокол калибровки": the certificate of one check or calibration, as a
// PDF page (QPdfWriter and QPainter; no other dependency): the instrument,
// the site, the test gas and its cylinder, the readings before and after,
// the criteria and the result, who did it and when, and lines to sign.
#pragma once

#include "records.h"

#include <QString>

namespace orn {

// Where a record's certificate is kept: beside the records, in
// records::CertificateDirectory(), named by the serial number, the local
// date and the record: "Протокол 2630001 2026-03-10 1b4e28ba.pdf".
QString CertificatePath(const records::TServiceRecord& r);

// Writes the certificate; false with `error`.  `sep` is the decimal separator.
bool WriteCertificate(const QString& path, const records::TServiceRecord& r, const QString& sep, QString& error);

} // namespace orn
