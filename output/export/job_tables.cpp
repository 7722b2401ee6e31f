#include "output/export/job_tables.h"

#include "output/export/results_table.h"

#include <xlsxwriter.h>

#include <charconv>
#include <fstream>
#include <iterator>
#include <locale.h>
#include <map>
#include <memory>
#include <system_error>

namespace kvx {

namespace fs = std::filesystem;

namespace {

// A value as a reader of the results file reads it back.
double FieldNumber(const std::string& text)
{
    double x = 0.0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), x);
    return ec == std::errc() && end == text.data() + text.size() ? x : 0.0;
}

bool IsResult(const ResultsTableRow& r)
{
    return r.kind == "distance" || r.kind == "area";
}

double RowCost(const ResultsTableRow& r)
{
    const double quantity = FieldNumber(r.value);
    return r.unitPrice * (r.kind == "distance" ? quantity / 1000 : quantity);
}

void AddTo(std::map<std::int32_t, JobGroupTotal>& totals, const ResultsTableRow& r)
{
    JobGroupTotal& t = totals[r.group];
    t.group = r.group;
    if (r.kind == "distance") {
        ++t.distances;
        t.length += FieldNumber(r.value);
    } else {
        ++t.areas;
        t.area += FieldNumber(r.value);
    }
    t.cost += RowCost(r);
}

std::vector<JobGroupTotal> InOrder(const std::map<std::int32_t, JobGroupTotal>& totals)
{
    std::vector<JobGroupTotal> out;
    for (const auto& [group, total] : totals)
        out.push_back(total);
    return out;
}

// The sigma only decides the uncertainties, which no total carries.
std::vector<ResultsTableRow> Results(const JobPhoto& photo, double sigma = 0.0)
{
    std::vector<ResultsTableRow> rows = ResultsTableRows(photo.settings, sigma);
    std::erase_if(rows, [](const ResultsTableRow& r) { return !IsResult(r); });
    return rows;
}

} // namespace

std::vector<JobGroupTotal> PhotoTotals(const JobPhoto& photo)
{
    std::map<std::int32_t, JobGroupTotal> totals;
    for (const ResultsTableRow& r : Results(photo))
        AddTo(totals, r);
    return InOrder(totals);
}

std::vector<JobGroupTotal> JobTotals(const std::vector<JobPhoto>& photos)
{
    std::vector<std::vector<JobGroupTotal>> each;
    for (const JobPhoto& photo : photos)
        each.push_back(PhotoTotals(photo));
    return SumTotals(each);
}

std::vector<JobGroupTotal> SumTotals(const std::vector<std::vector<JobGroupTotal>>& photos)
{
    std::map<std::int32_t, JobGroupTotal> totals;
    for (const std::vector<JobGroupTotal>& photo : photos)
        for (const JobGroupTotal& t : photo) {
            JobGroupTotal& sum = totals[t.group];
            sum.group = t.group;
            sum.distances += t.distances;
            sum.areas += t.areas;
            sum.length += t.length;
            sum.area += t.area;
            sum.cost += t.cost;
        }
    return InOrder(totals);
}

std::string JobResultsTableBytes(const std::vector<JobPhoto>& photos, double sigma)
{
    std::string out = ResultsTableHead();
    for (const JobPhoto& photo : photos)
        out += ResultsTableLines(ResultsTablePhoto(photo.settings), ResultsTableRows(photo.settings, sigma));
    return out;
}

namespace {

// The library prints its numbers with the C library, which follows the
// process's locale once Qt has set it: the workbook is written in "C".
class ClassicNumbers {
public:
    ClassicNumbers() : classic_(newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr)))
    {
        if (classic_)
            previous_ = uselocale(classic_);
    }
    ~ClassicNumbers()
    {
        if (classic_) {
            uselocale(previous_);
            freelocale(classic_);
        }
    }
    ClassicNumbers(const ClassicNumbers&) = delete;
    ClassicNumbers& operator=(const ClassicNumbers&) = delete;
    explicit operator bool() const { return classic_ != nullptr; }

private:
    locale_t classic_;
    locale_t previous_ = nullptr;
};

// Text as the workbook's XML must hold it: a byte that begins no valid UTF-8
// sequence (a photo named in another encoding) becomes U+FFFD.
std::string ValidUtf8(const std::string& text)
{
    std::string out;
    out.reserve(text.size());
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    const std::size_t n = text.size();
    for (std::size_t i = 0; i < n;) {
        const unsigned char c = p[i];
        std::size_t length = 0;
        std::uint32_t code = 0;
        if (c < 0x80) {
            length = 1;
            code = c;
        } else if (c >= 0xC2 && c <= 0xDF) {
            length = 2;
            code = c & 0x1Fu;
        } else if (c >= 0xE0 && c <= 0xEF) {
            length = 3;
            code = c & 0x0Fu;
        } else if (c >= 0xF0 && c <= 0xF4) {
            length = 4;
            code = c & 0x07u;
        }
        bool valid = length > 0 && i + length <= n;
        for (std::size_t k = 1; valid && k < length; ++k) {
            valid = (p[i + k] & 0xC0) == 0x80;
            code = (code << 6) | (p[i + k] & 0x3Fu);
        }
        // Overlong forms, surrogates and code points past U+10FFFF are no characters.
        if (valid && ((length == 3 && (code < 0x800 || (code >= 0xD800 && code <= 0xDFFF))) ||
                      (length == 4 && (code < 0x10000 || code > 0x10FFFF))))
            valid = false;
        if (!valid) {
            out += "\xEF\xBF\xBD";
            ++i;
            continue;
        }
        out.append(text, i, length);
        i += length;
    }
    return out;
}

// "A1" style name of a column, 0 = A.
std::string Column(int column)
{
    std::string name;
    for (int c = column + 1; c > 0; c = (c - 1) / 26)
        name.insert(name.begin(), static_cast<char>('A' + (c - 1) % 26));
    return name;
}

// A cell of row (0-based) and column, absolute or not.
std::string Cell(int row, int column, bool absolute = false)
{
    const std::string dollar = absolute ? "$" : "";
    return dollar + Column(column) + dollar + std::to_string(row + 1);
}

// A sheet's name as a formula refers to it: always quoted, quotes doubled.
std::string SheetRef(const std::string& sheet)
{
    std::string out = "'";
    for (const char c : sheet) {
        out += c;
        if (c == '\'')
            out += '\'';
    }
    return out + "'!";
}

void Check(lxw_error error, const char* what)
{
    if (error != LXW_NO_ERROR)
        throw WorkbookError(std::string(what) + ": " + lxw_strerror(error));
}

struct WorkbookCloser {
    void operator()(lxw_workbook* w) const
    {
        if (w)
            workbook_close(w);
    }
};

// The results sheet's columns.
enum ResultColumn : int {
    cPhoto, cSetting, cPlane, cKind, cNumber, cGroup, cName, cLength, cArea, cUncertainty, cPrice, cCost, cCount
};

class Writer {
public:
    Writer(lxw_workbook* book, const WorkbookTexts& texts) : book_(book), t_(texts)
    {
        bold_ = workbook_add_format(book_);
        format_set_bold(bold_);
        millimetres_ = workbook_add_format(book_);
        format_set_num_format(millimetres_, "#,##0");
        squareMetres_ = workbook_add_format(book_);
        format_set_num_format(squareMetres_, "#,##0.000");
        money_ = workbook_add_format(book_);
        format_set_num_format(money_, "#,##0");
        if (!bold_ || !millimetres_ || !squareMetres_ || !money_)
            throw WorkbookError("cannot make the workbook's formats");
    }

    void Write(const std::vector<JobPhoto>& photos, double sigma)
    {
        lxw_worksheet* results = AddSheet(t_.resultsSheet);
        lxw_worksheet* totals = AddSheet(t_.totalsSheet);
        const std::string mm = " (" + t_.mm + ")", m2 = " (" + t_.m2 + ")";
        const std::vector<std::string> header = {t_.photo,  t_.setting,      t_.plane,     t_.kind,
                                                 t_.number, t_.group,        t_.name,      t_.length + mm,
                                                 t_.area + m2, t_.uncertainty + " (" + t_.mm + ", " + t_.m2 + ")",
                                                 t_.unitPrice + " (/" + t_.m + ", /" + t_.m2 + ")", t_.cost};
        for (int c = 0; c < cCount; ++c)
            Text(results, 0, c, header[static_cast<std::size_t>(c)], bold_);
        worksheet_freeze_panes(results, 1, 0);
        worksheet_set_column(results, cPhoto, cPhoto, 24, nullptr);
        worksheet_set_column(results, cName, cName, 20, nullptr);
        worksheet_set_column(results, cLength, cCost, 14, nullptr);

        // Each photo's rows follow one another: its totals sum its own block.
        struct Block {
            const JobPhoto* photo;
            int first, last;  // rows, inclusive; last < first when it has none
            std::vector<ResultsTableRow> rows;
        };
        std::vector<Block> blocks;
        int row = 1;
        for (const JobPhoto& photo : photos) {
            Block block{&photo, row, row - 1, Results(photo, sigma)};
            for (const ResultsTableRow& r : block.rows)
                ResultRow(results, row++, photo.title, r);
            block.last = row - 1;
            blocks.push_back(std::move(block));
        }
        const int lastRow = row - 1;

        const std::string sheet = SheetRef(t_.resultsSheet);
        auto range = [&](int column, int first, int last) {
            return sheet + Cell(first, column, true) + ":" + Cell(last, column, true);
        };
        // By photo and group: the block's rows of the group.
        int at = 0;
        Text(totals, at++, 0, t_.byPhoto, bold_);
        const std::vector<std::string> totalsHeader = {t_.photo, t_.group, t_.length + mm, t_.area + m2, t_.cost};
        for (std::size_t c = 0; c < totalsHeader.size(); ++c)
            Text(totals, at, static_cast<int>(c), totalsHeader[c], bold_);
        ++at;
        worksheet_set_column(totals, 0, 0, 24, nullptr);
        worksheet_set_column(totals, 2, 4, 14, nullptr);
        for (const Block& block : blocks) {
            std::map<std::int32_t, JobGroupTotal> sums;
            for (const ResultsTableRow& r : block.rows)
                AddTo(sums, r);
            for (const JobGroupTotal& t : InOrder(sums)) {
                Text(totals, at, 0, block.photo->title, nullptr);
                Number(totals, at, 1, t.group, nullptr);
                const std::string group = Cell(at, 1);
                auto sumIf = [&](int column) {
                    return "=SUMIFS(" + range(column, block.first, block.last) + "," +
                           range(cGroup, block.first, block.last) + "," + group + ")";
                };
                Formula(totals, at, 2, sumIf(cLength), t.length, millimetres_);
                Formula(totals, at, 3, sumIf(cArea), t.area, squareMetres_);
                Formula(totals, at, 4, sumIf(cCost), t.cost, money_);
                ++at;
            }
        }
        // By group over the job, and the job's total.
        ++at;
        Text(totals, at++, 0, t_.byGroup, bold_);
        const std::vector<std::string> groupHeader = {t_.group, t_.length + mm, t_.area + m2, t_.cost};
        for (std::size_t c = 0; c < groupHeader.size(); ++c)
            Text(totals, at, static_cast<int>(c), groupHeader[c], bold_);
        ++at;
        const std::vector<JobGroupTotal> jobTotals = [&] {
            std::map<std::int32_t, JobGroupTotal> sums;
            for (const Block& block : blocks)
                for (const ResultsTableRow& r : block.rows)
                    AddTo(sums, r);
            return InOrder(sums);
        }();
        const int firstGroup = at;
        JobGroupTotal job;
        for (const JobGroupTotal& t : jobTotals) {
            Number(totals, at, 0, t.group, nullptr);
            const std::string group = Cell(at, 0);
            const int last = std::max(lastRow, 1);
            auto sumIf = [&](int column) {
                return "=SUMIFS(" + range(column, 1, last) + "," + range(cGroup, 1, last) + "," + group + ")";
            };
            Formula(totals, at, 1, sumIf(cLength), t.length, millimetres_);
            Formula(totals, at, 2, sumIf(cArea), t.area, squareMetres_);
            Formula(totals, at, 3, sumIf(cCost), t.cost, money_);
            job.length += t.length;
            job.area += t.area;
            job.cost += t.cost;
            ++at;
        }
        Text(totals, at, 0, t_.total, bold_);
        if (at > firstGroup) {
            auto sum = [&](int column) { return "=SUM(" + Cell(firstGroup, column) + ":" + Cell(at - 1, column) + ")"; };
            Formula(totals, at, 1, sum(1), job.length, millimetres_);
            Formula(totals, at, 2, sum(2), job.area, squareMetres_);
            Formula(totals, at, 3, sum(3), job.cost, money_);
        } else {
            Number(totals, at, 1, 0, millimetres_);
            Number(totals, at, 2, 0, squareMetres_);
            Number(totals, at, 3, 0, money_);
        }
    }

private:
    lxw_worksheet* AddSheet(const std::string& name)
    {
        // The library would name a nameless sheet itself, in English.
        if (name.empty())
            throw WorkbookError("a sheet without a name");
        Check(workbook_validate_sheet_name(book_, name.c_str()), ("the sheet name '" + name + "'").c_str());
        lxw_worksheet* sheet = workbook_add_worksheet(book_, name.c_str());
        if (!sheet)
            throw WorkbookError("cannot add the sheet '" + name + "'");
        return sheet;
    }
    void Text(lxw_worksheet* s, int row, int column, const std::string& text, lxw_format* f)
    {
        if (text.empty())
            return;
        const std::string valid = ValidUtf8(text);
        Check(worksheet_write_string(s, static_cast<lxw_row_t>(row), static_cast<lxw_col_t>(column), valid.c_str(), f),
              "cannot write a text cell");
    }
    void Number(lxw_worksheet* s, int row, int column, double x, lxw_format* f)
    {
        Check(worksheet_write_number(s, static_cast<lxw_row_t>(row), static_cast<lxw_col_t>(column), x, f),
              "cannot write a number cell");
    }
    void Formula(lxw_worksheet* s, int row, int column, const std::string& formula, double value, lxw_format* f)
    {
        Check(worksheet_write_formula_num(s, static_cast<lxw_row_t>(row), static_cast<lxw_col_t>(column), formula.c_str(),
                                          f, value),
              "cannot write a formula cell");
    }

    void ResultRow(lxw_worksheet* s, int row, const std::string& title, const ResultsTableRow& r)
    {
        const bool distance = r.kind == "distance";
        Text(s, row, cPhoto, title, nullptr);
        Number(s, row, cSetting, r.setting, nullptr);
        Number(s, row, cPlane, r.plane, nullptr);
        Text(s, row, cKind, distance ? t_.length : t_.area, nullptr);
        Number(s, row, cNumber, r.number, nullptr);
        Number(s, row, cGroup, r.group, nullptr);
        Text(s, row, cName, r.name, nullptr);
        const int quantity = distance ? cLength : cArea;
        Number(s, row, quantity, FieldNumber(r.value), distance ? millimetres_ : squareMetres_);
        if (!r.uncertainty.empty())
            Number(s, row, cUncertainty, FieldNumber(r.uncertainty), nullptr);
        Number(s, row, cPrice, r.unitPrice, money_);
        // A length in millimetres costs its price per metre.
        const std::string formula =
            "=" + Cell(row, quantity) + (distance ? "/1000" : "") + "*" + Cell(row, cPrice);
        Formula(s, row, cCost, formula, RowCost(r), money_);
    }

    lxw_workbook* book_;
    const WorkbookTexts& t_;
    lxw_format* bold_ = nullptr;
    lxw_format* millimetres_ = nullptr;
    lxw_format* squareMetres_ = nullptr;
    lxw_format* money_ = nullptr;
};

} // namespace

std::string WorkbookBytes(const std::vector<JobPhoto>& photos, double sigma, const WorkbookTexts& texts,
                          const fs::path& scratch)
{
    const ClassicNumbers classic;
    if (!classic)
        throw WorkbookError("cannot write numbers in the classic locale");
    const fs::path file = scratch / "workbook.xlsx";
    std::error_code ec;
    fs::remove(file, ec);
    std::string folder = scratch.string();
    lxw_workbook_options options{};
    options.tmpdir = folder.data();
    {
        std::unique_ptr<lxw_workbook, WorkbookCloser> book(workbook_new_opt(file.string().c_str(), &options));
        if (!book)
            throw WorkbookError("cannot start the workbook in '" + scratch.string() + "'");
        Writer(book.get(), texts).Write(photos, sigma);
        const lxw_error closed = workbook_close(book.release());
        Check(closed, "cannot write the workbook");
    }
    std::ifstream in(file, std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad() || bytes.empty())
        throw WorkbookError("cannot read the workbook back from '" + file.string() + "'");
    fs::remove(file, ec);
    return bytes;
}

} // namespace kvx
