#include "CommandLine.h"

#include "RowOutput.h"
#include "db/Backup.h"
#include "db/Connection.h"
#include "db/Dataset.h"
#include "db/LockSettings.h"
#include "db/Sql.h"
#include "entry/HeadingMap.h"
#include "entry/ImportPlan.h"
#include "entry/Importer.h"
#include "guide/Version.h"
#include "platform/LayoutSettings.h"
#include "platform/Platform.h"
#include "portfolio/CalendarExport.h"
#include "portfolio/ExportCore.h"
#include "sheet/TableReader.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QSaveFile>

#include <cstdio>
#include <optional>

#ifdef Q_OS_WIN
#include <io.h>
#include <windows.h>
#else
#include <csignal>
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>
#endif

namespace cli {

namespace {

enum class Command
{
    None,
    List,
    Export,
    Import,
    Calendar,
    Version,
    Help,
};

enum class Format
{
    Table,
    Csv,
    Json,
};

struct Options
{
    Command command = Command::None;
    QString file;
    QString search;
    int expiringDays = -1;
    bool expired = false;
    Format format = Format::Table;
    bool formatGiven = false;
    std::optional<importplan::Duplicates> duplicates;
    std::optional<valuecleaner::DayOrder> dayOrder;
    bool passwordStdin = false;
};

// The options of the command line itself: any of these means it is wanted.
const QStringList& ownOptions()
{
    static const QStringList options = {
        QStringLiteral("--list"),       QStringLiteral("--export"),        QStringLiteral("--import"),
        QStringLiteral("--calendar"),   QStringLiteral("--version"),       QStringLiteral("--help"),
        QStringLiteral("-h"),           QStringLiteral("--search"),        QStringLiteral("--expiring"),
        QStringLiteral("--expired"),    QStringLiteral("--format"),        QStringLiteral("--on-duplicate"),
        QStringLiteral("--date-order"), QStringLiteral("--password-stdin")};
    return options;
}

// Qt's own options for a window (-platform, --style, ...), which start the window as before.
bool isWindowOption(const QString& argument)
{
    static const QStringList names = {QStringLiteral("platform"),
                                      QStringLiteral("platformpluginpath"),
                                      QStringLiteral("platformtheme"),
                                      QStringLiteral("plugin"),
                                      QStringLiteral("qwindowgeometry"),
                                      QStringLiteral("qwindowicon"),
                                      QStringLiteral("qwindowtitle"),
                                      QStringLiteral("reverse"),
                                      QStringLiteral("session"),
                                      QStringLiteral("style"),
                                      QStringLiteral("stylesheet"),
                                      QStringLiteral("widgetcount"),
                                      QStringLiteral("display"),
                                      QStringLiteral("geometry"),
                                      QStringLiteral("name"),
                                      QStringLiteral("title"),
                                      QStringLiteral("visual"),
                                      QStringLiteral("sync"),
                                      QStringLiteral("nograb"),
                                      QStringLiteral("dograb"),
                                      QStringLiteral("qmljsdebugger")};
    QString name = argument;
    while (name.startsWith(QLatin1Char('-')))
        name.remove(0, 1);
    name = name.section(QLatin1Char('='), 0, 0);
    return names.contains(name);
}

void printErr(const QString& text)
{
    const QByteArray bytes = text.toUtf8() + '\n';
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stderr);
    std::fflush(stderr);
}

void printOut(const QString& text)
{
    const QByteArray bytes = text.toUtf8() + '\n';
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout);
    std::fflush(stdout);
}

// The arguments read into options; else *error names what is wrong.
std::optional<Options> parse(const QStringList& arguments, QString* error)
{
    Options options;
    auto fail = [error](const QString& text) {
        *error = text;
        return std::nullopt;
    };
    auto setCommand = [&options](Command command) {
        if (options.command != Command::None && options.command != command)
            return false;
        options.command = command;
        return true;
    };
    for (int i = 0; i < arguments.size(); ++i) {
        QString name = arguments[i];
        QString value;
        bool hasValue = false;
        if (name.startsWith(QLatin1String("--")) && name.contains(QLatin1Char('='))) {
            value = name.section(QLatin1Char('='), 1);
            name = name.section(QLatin1Char('='), 0, 0);
            hasValue = true;
        }
        auto takeValue = [&]() -> std::optional<QString> {
            if (hasValue)
                return value;
            if (i + 1 >= arguments.size())
                return std::nullopt;
            return arguments[++i];
        };
        static const QStringList needsValue = {
            QStringLiteral("--export"),       QStringLiteral("--import"),    QStringLiteral("--calendar"),
            QStringLiteral("--search"),       QStringLiteral("--expiring"),  QStringLiteral("--format"),
            QStringLiteral("--on-duplicate"), QStringLiteral("--date-order")};
        std::optional<QString> given;
        if (needsValue.contains(name)) {
            given = takeValue();
            if (!given)
                return fail(QStringLiteral("%1 后面缺少取值").arg(name));
        } else if (hasValue) {
            return fail(QStringLiteral("%1 不带取值").arg(name));
        }
        bool single = true;
        if (name == QLatin1String("--list")) {
            single = setCommand(Command::List);
        } else if (name == QLatin1String("--export")) {
            single = setCommand(Command::Export);
            options.file = *given;
        } else if (name == QLatin1String("--import")) {
            single = setCommand(Command::Import);
            options.file = *given;
        } else if (name == QLatin1String("--calendar")) {
            single = setCommand(Command::Calendar);
            options.file = *given;
        } else if (name == QLatin1String("--version")) {
            single = setCommand(Command::Version);
        } else if (name == QLatin1String("--help") || name == QLatin1String("-h")) {
            single = setCommand(Command::Help);
        } else if (name == QLatin1String("--search")) {
            options.search = *given;
        } else if (name == QLatin1String("--expiring")) {
            bool ok = false;
            const int days = given->trimmed().toInt(&ok);
            if (!ok || days < 0 || days > 36500)
                return fail(QStringLiteral("--expiring 的天数应为 0 到 36500 之间的整数：%1").arg(*given));
            options.expiringDays = days;
        } else if (name == QLatin1String("--expired")) {
            options.expired = true;
        } else if (name == QLatin1String("--format")) {
            static const QStringList formats = {QStringLiteral("table"), QStringLiteral("csv"),
                                                QStringLiteral("json")};
            const int format = int(formats.indexOf(given->trimmed().toLower()));
            if (format < 0)
                return fail(QStringLiteral("--format 只能是 table、csv 或 json：%1").arg(*given));
            options.format = Format(format);
            options.formatGiven = true;
        } else if (name == QLatin1String("--on-duplicate")) {
            static const QStringList ways = {QStringLiteral("skip"), QStringLiteral("update"),
                                             QStringLiteral("add")};
            const int way = int(ways.indexOf(given->trimmed().toLower()));
            if (way < 0)
                return fail(QStringLiteral("--on-duplicate 只能是 skip、update 或 add：%1").arg(*given));
            options.duplicates = importplan::Duplicates(way);
        } else if (name == QLatin1String("--date-order")) {
            const QString order = given->trimmed().toLower();
            if (order == QLatin1String("dmy"))
                options.dayOrder = valuecleaner::DayOrder::DayFirst;
            else if (order == QLatin1String("mdy"))
                options.dayOrder = valuecleaner::DayOrder::MonthFirst;
            else
                return fail(QStringLiteral("--date-order 只能是 dmy 或 mdy：%1").arg(*given));
        } else if (name == QLatin1String("--password-stdin")) {
            options.passwordStdin = true;
        } else {
            return fail(QStringLiteral("未知的参数：%1").arg(arguments[i]));
        }
        if (!single)
            return fail(
                QStringLiteral("一次只能执行一个命令（--list、--export、--import、--calendar 之一）"));
    }
    if (options.command == Command::None)
        return fail(QStringLiteral("缺少命令：--list、--export、--import、--calendar、--version 或 --help"));
    if (options.expired && options.expiringDays >= 0)
        return fail(QStringLiteral("--expiring 和 --expired 不能同时使用"));
    const bool filters = !options.search.isEmpty() || options.expired || options.expiringDays >= 0;
    if (filters && (options.command == Command::Import))
        return fail(QStringLiteral("--search、--expiring、--expired 不能与 --import 同时使用"));
    if (options.formatGiven && options.command != Command::List)
        return fail(QStringLiteral("--format 只能与 --list 同时使用"));
    if ((options.duplicates || options.dayOrder) && options.command != Command::Import)
        return fail(QStringLiteral("--on-duplicate 和 --date-order 只能与 --import 同时使用"));
    if (options.file.isEmpty() && (options.command == Command::Export || options.command == Command::Import ||
                                   options.command == Command::Calendar))
        return fail(QStringLiteral("缺少文件名"));
    return options;
}

// What was typed on the terminal, without showing it.
struct TerminalAnswer
{
    bool terminal = true; // false: there is no terminal to ask on
    QString text;
};

#ifndef Q_OS_WIN
int g_tty = -1;
termios g_ttySettings{};

// Only what is safe in a signal handler: the terminal as it was, a line for the user, the user's exit code.
void cancelAsking(int)
{
    tcsetattr(g_tty, TCSANOW, &g_ttySettings);
    static const char text[] = "\n已取消\n";
    (void)!::write(STDERR_FILENO, text, sizeof text - 1);
    _exit(kUserError);
}
#endif

TerminalAnswer passwordFromTerminal(const QString& prompt)
{
#ifdef Q_OS_WIN
    HANDLE in = CreateFileW(L"CONIN$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                            0, nullptr);
    if (in == INVALID_HANDLE_VALUE)
        return {false, {}};
    printErr(prompt);
    DWORD mode = 0;
    GetConsoleMode(in, &mode);
    SetConsoleMode(in, mode & ~DWORD(ENABLE_ECHO_INPUT));
    std::wstring line;
    wchar_t c = 0;
    DWORD read = 0;
    while (ReadConsoleW(in, &c, 1, &read, nullptr) && read == 1 && c != L'\r' && c != L'\n')
        line.push_back(c);
    SetConsoleMode(in, mode);
    CloseHandle(in);
    printErr(QString());
    return {true, QString::fromStdWString(line)};
#else
    const int fd = ::open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (fd < 0)
        return {false, {}};
    // Echo off before the prompt: whatever is typed after the prompt is never shown nor discarded.
    termios old{};
    const bool terminal = tcgetattr(fd, &old) == 0;
    if (terminal) {
        termios quiet = old;
        quiet.c_lflag &= tcflag_t(~ECHO);
        quiet.c_lflag |= ECHONL;
        // Ctrl+C (or the terminal going away) while asking: the echo comes back on before the end.
        g_tty = fd;
        g_ttySettings = old;
        struct sigaction cancel
        {
        };
        cancel.sa_handler = cancelAsking;
        sigemptyset(&cancel.sa_mask);
        for (const int sig : {SIGINT, SIGTERM, SIGHUP, SIGQUIT})
            sigaction(sig, &cancel, nullptr);
        tcsetattr(fd, TCSAFLUSH, &quiet);
    }
    const QByteArray promptBytes = prompt.toUtf8();
    if (::write(fd, promptBytes.constData(), size_t(promptBytes.size())) < 0) {
        if (terminal)
            tcsetattr(fd, TCSANOW, &old);
        ::close(fd);
        return {false, {}};
    }
    QByteArray line;
    char c = 0;
    while (::read(fd, &c, 1) == 1 && c != '\n')
        line.append(c);
    if (terminal) {
        tcsetattr(fd, TCSANOW, &old);
        for (const int sig : {SIGINT, SIGTERM, SIGHUP, SIGQUIT})
            signal(sig, SIG_DFL);
    }
    ::close(fd);
    if (line.endsWith('\r'))
        line.chop(1);
    return {true, QString::fromUtf8(line)};
#endif
}

// The first line of standard input, without its line end.
QString passwordFromStdin()
{
    QByteArray line;
    int c;
    while ((c = std::fgetc(stdin)) != EOF && c != '\n')
        line.append(char(c));
    if (line.endsWith('\r'))
        line.chop(1);
    return QString::fromUtf8(line);
}

// The rows of the selection in a dataset (for the writers that take one).
Result openSelection(Dataset& rows, const Selection& selection)
{
    rows.setSql(selection.statement);
    for (auto it = selection.params.cbegin(); it != selection.params.cend(); ++it)
        rows.setParam(it.key(), it.value());
    Result read = rows.open();
    if (tooLongSearch(selection, read)) {
        rows.setSql(QStringLiteral("select * from tt_a where 0"));
        read = rows.open();
    }
    return read;
}

class Session
{
public:
    explicit Session(const Options& options) : m_options(options), m_today(Platform::today()) {}

    int run()
    {
        // An installed copy works in the user's own data folder, as the window does.
        if (const QString folderError = Platform::prepareDataFolder(); !folderError.isEmpty())
            return dataError(folderError);
        if (const Result opened = m_connection.open(); !opened.ok())
            return dataError(opened.error());
        if (const int unlocked = unlock(); unlocked != kDone)
            return unlocked;
        const Selection selection =
            selectionFor(m_options.search, m_options.expiringDays, m_options.expired, m_today);
        switch (m_options.command) {
        case Command::List:
            return list(selection);
        case Command::Export:
            return exportTo(selection);
        case Command::Calendar:
            return calendarTo(selection);
        case Command::Import:
            return importFrom();
        default:
            return kDone;
        }
    }

private:
    int dataError(const QString& text)
    {
        printErr(text);
        return kDataError;
    }
    int userError(const QString& text)
    {
        printErr(text);
        return kUserError;
    }

    // A locked portfolio opens only with its password: from standard input, or asked on the terminal.
    int unlock()
    {
        Dataset settingsRow(&m_connection);
        LockSettings settings(&m_connection, &settingsRow);
        if (const Result loaded = settings.load(); !loaded.ok())
            return dataError(QStringLiteral("数据库文件“%1”不是本程序的数据库：%2")
                                 .arg(Connection::kFileName, loaded.error()));
        if (settings.lockFlag() != QLatin1String("1"))
            return kDone;
        QString typed;
        if (m_options.passwordStdin) {
            typed = passwordFromStdin();
        } else {
            const TerminalAnswer answer =
                passwordFromTerminal(QStringLiteral("域名组合已加锁，请输入密码："));
            if (!answer.terminal)
                return userError(QStringLiteral(
                    "域名组合已加锁：没有终端可以询问密码，请用 --password-stdin 从标准输入提供密码"));
            typed = answer.text;
        }
        if (typed != settings.password())
            return userError(QStringLiteral("您输入的密码错误"));
        return kDone;
    }

    int list(const Selection& selection)
    {
        Sink out(Sink::to(stdout));
        Result read = Result::success();
        switch (m_options.format) {
        case Format::Csv:
            csvHeading(out);
            read = forEachRow(&m_connection, selection, [&](const Row& row) { csvRow(out, row); });
            break;
        case Format::Json: {
            JsonRows json(out, m_today);
            read = forEachRow(&m_connection, selection, [&](const Row& row) { json.row(row); });
            json.finish();
            break;
        }
        case Format::Table: {
            TableRows table(m_today);
            read = forEachRow(&m_connection, selection, [&](const Row& row) { table.row(row); });
            if (read.ok())
                table.write(out);
            break;
        }
        }
        if (!out.flush() && read.ok())
            read = Result::failure(QStringLiteral("无法写出结果"));
        return read.ok() ? int(kDone) : dataError(read.error());
    }

    int exportTo(const Selection& selection)
    {
        const QString path = m_options.file;
        const QString suffix = QFileInfo(path).suffix().toLower();
        if (suffix == QLatin1String("csv"))
            return exportCsv(selection, path);
        if (suffix != QLatin1String("xls") && suffix != QLatin1String("xlsx"))
            return userError(QStringLiteral("只能导出为 .xls、.xlsx 或 .csv 文件：%1").arg(path));
        Dataset rows(&m_connection);
        if (const Result read = openSelection(rows, selection); !read.ok())
            return dataError(read.error());
        const Result result = exporter::writeWorkbook(rows, path);
        if (result.code() == Result::Code::TooManyRows)
            return userError(result.error().section(QLatin1Char('\n'), 0, 0));
        if (!result.ok())
            return dataError(QStringLiteral("保存失败：%1").arg(result.error()));
        printOut(QStringLiteral("已导出 %1 个域名到：%2").arg(rows.recordCount()).arg(path));
        return kDone;
    }

    int exportCsv(const Selection& selection, const QString& path)
    {
        // Written whole under another name first: a failed export leaves an older file as it was.
        QSaveFile file(path);
        if (!file.open(QIODevice::WriteOnly))
            return dataError(QStringLiteral("无法写入文件“%1”：%2").arg(path, file.errorString()));
        Sink out([&file](std::string_view piece) {
            return file.write(piece.data(), qint64(piece.size())) == qint64(piece.size());
        });
        // The byte order mark tells spreadsheet programs that the text is UTF-8.
        out.append("\xEF\xBB\xBF");
        csvHeading(out);
        int count = 0;
        const Result read = forEachRow(&m_connection, selection, [&](const Row& row) {
            csvRow(out, row);
            ++count;
        });
        if (!read.ok()) {
            file.cancelWriting();
            return dataError(read.error());
        }
        if (!out.flush() || !file.commit())
            return dataError(QStringLiteral("无法写入文件“%1”：%2").arg(path, file.errorString()));
        printOut(QStringLiteral("已导出 %1 个域名到：%2").arg(count).arg(path));
        return kDone;
    }

    int calendarTo(const Selection& selection)
    {
        Dataset rows(&m_connection);
        if (const Result read = openSelection(rows, selection); !read.ok())
            return dataError(read.error());
        const calendar::Written result =
            calendar::write(rows, m_options.file, ReminderSettings::load().thresholds);
        if (!result.ok())
            return dataError(result.result.error());
        printOut(calendar::resultText(result, m_options.file));
        return kDone;
    }

    int importFrom()
    {
        const QString path = m_options.file;
        if (!QFileInfo(path).isFile())
            return userError(QStringLiteral("找不到要导入的文件：%1").arg(path));
        sheet::ReadOptions readOptions;
        readOptions.columns = headingmap::kReadColumns;
        const Expected<sheet::Sheet> read = sheet::readTable(path, readOptions);
        if (!read.ok())
            return dataError(read.error());
        const sheet::Sheet& table = read.value();
        const auto columns = headingmap::detect(table, headingmap::kReadColumns);
        // A copy of the database before the rows go in; a failed copy is told and stops nothing.
        auto backupFirst = [this] {
            const QString backupError =
                backup::make(&m_connection, Connection::kFileName, QDateTime(m_today, QTime::currentTime()))
                    .error();
            if (!backupError.isEmpty())
                printErr(backupError);
        };
        if (!columns) {
            // A sheet of domains from row 1, columns A to I, as the import always took them: every row added.
            if (m_options.duplicates)
                printErr(QStringLiteral("表格没有标题行：每一行都作为新域名添加，--on-duplicate 不起作用"));
            backupFirst();
            const importer::Outcome result = importer::storeSheet(&m_connection, table);
            if (result.code() == Result::Code::ReadFailed)
                return dataError(result.error());
            if (!result.ok())
                return dataError(QStringLiteral("导入数据出错：%1（已保存 %2 行）")
                                     .arg(result.error())
                                     .arg(result.rowsStored));
            printOut(QStringLiteral("导入完成：新增 %1 个").arg(result.rowsStored));
            return kDone;
        }

        importplan::Portfolio portfolio;
        if (const Result loaded = importplan::loadPortfolio(&m_connection, &portfolio); !loaded.ok())
            return dataError(loaded.error());
        importplan::Settings settings;
        settings.fields = columns->fields;
        for (int c = 0; c < columns->fields.size(); ++c)
            settings.orders.append(valuecleaner::DayOrder::Unknown);
        settings.verbatim = columns->ownExport;
        settings.duplicates = m_options.duplicates.value_or(importplan::Duplicates::Skip);
        importplan::Plan plan = importplan::Plan::build(table, settings, portfolio);
        if (!plan.columnsToAsk().isEmpty()) {
            if (!m_options.dayOrder) {
                QStringList named;
                for (const int column : plan.columnsToAsk())
                    named.append(QStringLiteral("%1 列（%2）")
                                     .arg(headingmap::columnLetter(column), columns->headings.value(column)));
                return userError(
                    QStringLiteral("无法判断 %1 的日期是“日/月/年”还是“月/日/年”：请加 --date-order "
                                   "dmy 或 --date-order mdy")
                        .arg(named.join(QStringLiteral("、"))));
            }
            for (const int column : plan.columnsToAsk())
                settings.orders[column] = *m_options.dayOrder;
            plan = importplan::Plan::build(table, settings, portfolio);
        }
        backupFirst();
        const importplan::Outcome outcome = importplan::apply(&m_connection, plan);
        if (!outcome.ok())
            return dataError(QStringLiteral("导入数据出错：%1。没有保存任何一行。").arg(outcome.error()));
        printOut(importplan::summaryText(plan.counts()));
        for (const QString& line : plan.report())
            printOut(line);
        return kDone;
    }

    const Options& m_options;
    const QDate m_today;
    Connection m_connection;
};

} // namespace

bool wanted(const QStringList& arguments)
{
    if (arguments.isEmpty())
        return false;
    for (const QString& argument : arguments)
        if (ownOptions().contains(argument.section(QLatin1Char('='), 0, 0)))
            return true;
    // Any other first option of its own (a mistyped one included), but not Qt's options for the window.
    const QString& first = arguments.first();
    return first.startsWith(QLatin1String("--")) && !isWindowOption(first);
}

bool wanted(int argc, char** argv)
{
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    return wanted(arguments);
}

QString helpText()
{
    return QStringLiteral(
        "用法：lanshu [命令] [选项]\n"
        "不带参数时打开程序窗口；带下面的命令时在终端里工作，不打开窗口。\n"
        "\n"
        "命令：\n"
        "  --list                 列出域名（默认为表格）\n"
        "  --export 文件          导出域名，按扩展名写成 .xls、.xlsx 或 .csv\n"
        "  --import 文件          导入 .xls、.xlsx、.ods 或 .csv 表格（与“批量导入”的规则相同）\n"
        "  --calendar 文件        导出到期日历（.ics），每个域名一个全天事件，提前 30、7、1 天提醒\n"
        "  --version              显示版本\n"
        "  --help, -h             显示本帮助\n"
        "\n"
        "选项：\n"
        "  --search 文字          只取域名中含有该文字的域名\n"
        "  --expiring 天数        只取从今天起指定天数内到期的域名（最早到期的在前）\n"
        "  --expired              只取已经过期的域名（最早到期的在前）\n"
        "  --format 格式          --list 的输出格式：table、csv 或 json\n"
        "  --on-duplicate 方式    导入时已有的域名：skip 跳过（默认）、update 用表中非空的值更新、add "
        "仍然添加\n"
        "  --date-order 顺序      导入时无法判断的日期：dmy 日/月/年，mdy 月/日/年\n"
        "  --password-stdin       域名组合已加锁时，从标准输入的第一行读取密码（否则在终端询问）\n"
        "\n"
        "退出码：0 完成，1 用法错误或密码错误，2 数据错误（数据库或文件无法读写）。\n"
        "数据文件夹与程序窗口相同；程序窗口打开时也可以使用。\n");
}

int run(int argc, char** argv)
{
    // Before anything holds the user's data: no core dump, and files readable by the user alone.
    Platform::protectUserData();
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("lanshu"));
    QCoreApplication::setApplicationVersion(QStringLiteral("1.0"));

    QString error;
    std::optional<Options> options = parse(QCoreApplication::arguments().mid(1), &error);
    if (!options) {
        printErr(error + QStringLiteral("（用 --help 查看用法）"));
        return kUserError;
    }
    if (options->command == Command::Help) {
        std::fputs(helpText().toUtf8().constData(), stdout);
        return kDone;
    }
    if (options->command == Command::Version) {
        printOut(QStringLiteral("岚枢 %1").arg(product::kVersion));
        return kDone;
    }
    // A file named on the command line is where the user stands, also for an installed copy, which works in
    // the user's data folder.
    if (!options->file.isEmpty())
        options->file = QFileInfo(options->file).absoluteFilePath();
    return Session(*options).run();
}

} // namespace cli
