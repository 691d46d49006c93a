#include "readings_log.h"

#include "report.h"

#include <cerrno>
#include <cstring>

namespace orn {

namespace {

const char* const Bom = "\xEF\xBB\xBF";
// The words for an errno of a failed open, write or sync.
std::string Reason(int err) {
    switch (err) {
    case ENOSPC: return "на диске нет места";
    case EIO:
    case ENODEV:
    case ENXIO: return "носитель недоступен (извлечён?)";
    case EROFS: return "носитель только для чтения";
    case EACCES:
    case EPERM: return "нет права на запись";
    case ENOENT:
    case ENOTDIR: return "нет такой папки";
    case EISDIR: return "это папка";
    case EFBIG: return "файл слишком велик";
    default: return std::strerror(err);
    }
}

} // namespace

bool HexReading(int row, const std::string& text, const std::string& sep) {
    return row == StatusRow || (row == GasRow && text.find(sep) == std::string::npos);
}

const std::vector<std::string>& ReadingColumns() {
    static const std::vector<std::string> columns = [] {
        std::vector<std::string> out;
        for (int devType = 0; devType < DevTypeCount; ++devType)
            for (int row = 0; row < GridRowCount; ++row) {
                const std::string label = RowLabels(devType, row);
                bool known = label.empty();
                for (const std::string& c : out) known = known || c == label;
                if (!known) out.push_back(label);
            }
        return out;
    }();
    return columns;
}

std::string ReadingsCsvHeader() {
    std::vector<std::string> fields = {"Дата и время", "Порт", "Адрес", "Модель"};
    for (const std::string& c : ReadingColumns()) fields.push_back(c);
    return records::CsvLine(fields);
}

std::string ReadingsCsvRow(const std::string& when, const std::string& port, int address, int devType,
                           const TRegImage& image, const std::string& sep) {
    const TModelInfo* model = ModelOf(devType);
    std::vector<std::string> fields = {when, port, std::to_string(address), model ? model->ItemText : ""};
    for (const std::string& column : ReadingColumns()) {
        std::string value;
        for (int row = 0; row < GridRowCount; ++row) {
            if (column != RowLabels(devType, row)) continue;
            if (auto text = ReadingText(devType, row, image, sep))
                value = HexReading(row, *text, sep) ? "0x" + *text : *text;
            break;
        }
        fields.push_back(value);
    }
    return records::CsvLine(fields);
}

// ---------------------------------------------------------------- the file

TReadingsLog::~TReadingsLog() { Stop(); }

bool TReadingsLog::Start(const std::string& path) {
    Stop();
    path_ = path;
    rows_ = 0;
    size_ = 0;
    error_.clear();
    if (const int err = file_.Open(path)) {
        error_ = Reason(err);
        return false;
    }
    return true;
}

void TReadingsLog::Stop() { file_.Close(); }

bool TReadingsLog::Fail(int err) {
    error_ = Reason(err);
    // What a failed write left of a row goes, so the file ends with a whole row.
    file_.Truncate(size_);
    Stop();
    return false;
}

bool TReadingsLog::Append(const std::string& row) {
    if (!file_.IsOpen()) return false;
    std::string out;
    if (size_ == 0) out = Bom + ReadingsCsvHeader();
    out += row;
    if (const int err = file_.Write(out.data(), out.size())) return Fail(err);
    // On the medium before the read is over.
    if (const int err = file_.Sync()) return Fail(err);
    size_ += (long long)out.size();
    ++rows_;
    return true;
}

} // namespace orn
