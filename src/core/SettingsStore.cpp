#include "core/SettingsStore.h"

#include "platform/files/FileOps.h"
#include "platform/profile/PrivateProfile.h"
#include "platform/ui/MessageBox.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <optional>
#include <QDir>
#include <QLocale>
#include <QRegularExpression>
#include <QSet>
#include <utility>
#include <vector>

namespace quillory {

const QString SettingsStore::Section = QStringLiteral("User Prefs");
const QString SettingsStore::SettingsFileName = QStringLiteral("Corvanel.hig");
const QString SettingsStore::GeometryFileName = QStringLiteral("Corvanel.win");

namespace {

using WordProcessor = UserSettings::WordProcessor;
using EnvelopeFeed = UserSettings::EnvelopeFeed;
using ToolbarStyle = UserSettings::ToolbarStyle;

// One option of a group and the key that stores it, in the order the file lists them.
template <typename T> struct Option {
    QString key;
    T value;
};

const std::vector<Option<int>>& commPortOptions() {
    static const std::vector<Option<int>> options = {{QStringLiteral("CommPort1"), 1},
                                                     {QStringLiteral("CommPort2"), 2},
                                                     {QStringLiteral("CommPort3"), 3},
                                                     {QStringLiteral("CommPort4"), 4}};
    return options;
}

const std::vector<Option<WordProcessor>>& wordProcessorOptions() {
    static const std::vector<Option<WordProcessor>> options = {
        {QStringLiteral("WordPad"), WordProcessor::WordPad},
        {QStringLiteral("WordOther"), WordProcessor::Other}};
    return options;
}

const std::vector<Option<EnvelopeFeed>>& envelopeFeedOptions() {
    static const std::vector<Option<EnvelopeFeed>> options = {
        {QStringLiteral("EnvLeft"), EnvelopeFeed::Left},
        {QStringLiteral("EnvRight"), EnvelopeFeed::Right},
        {QStringLiteral("EnvMan"), EnvelopeFeed::Manual}};
    return options;
}

// The key of a label stock is its number.
const std::vector<Option<int>>& labelStockOptions() {
    static const std::vector<Option<int>> options = [] {
        std::vector<Option<int>> list;
        for (const int stock : UserSettings::LabelStocks)
            list.push_back({QString::number(stock), stock});
        return list;
    }();
    return options;
}

const std::vector<Option<ToolbarStyle>>& toolbarStyleOptions() {
    static const std::vector<Option<ToolbarStyle>> options = {
        {QStringLiteral("IO"), ToolbarStyle::LargeImagesOnly},
        {QStringLiteral("TI"), ToolbarStyle::TextAndImages}};
    return options;
}

QString gridKey(int column) {
    return QStringLiteral("Grid%1").arg(column);
}

const QString BoldKey = QStringLiteral("fontType");
const QString BoldPressed = QStringLiteral("tbrPressed");
const QString BoldUnpressed = QStringLiteral("tbrUnpressed");

// A decimal number as the settings hold it: a decimal point, or the decimal comma where the
// user's locale writes numbers that way (files written by earlier versions used the locale's
// sign), and an optional exponent. Group separators are not accepted: "1,035" would be
// ambiguous between locales.
std::optional<double> toNumber(QString text) {
    if (QLocale().decimalPoint() == QStringLiteral(","))
        text.replace(QLatin1Char(','), QLatin1Char('.'));
    static const QRegularExpression form(
        QStringLiteral("^[+-]?([0-9]+\\.?[0-9]*|\\.[0-9]+)([eE][+-]?[0-9]+)?$"));
    if (!form.match(text).hasMatch())
        return std::nullopt;
    bool ok = false;
    const double number = QLocale::c().toDouble(text, &ok);
    if (!ok || !std::isfinite(number))
        return std::nullopt;
    return number;
}

// "True" or "False" in any letter case, or a number: zero is false, any other number true.
std::optional<bool> toFlag(const QString& text) {
    if (text.compare(QStringLiteral("True"), Qt::CaseInsensitive) == 0)
        return true;
    if (text.compare(QStringLiteral("False"), Qt::CaseInsensitive) == 0)
        return false;
    if (const auto number = toNumber(text))
        return *number != 0.0;
    return std::nullopt;
}

// 0 clear, 1 ticked, 2 undetermined; nothing else is a check box's state.
std::optional<int> toCheckState(const QString& text) {
    const auto number = toNumber(text);
    if (!number || *number != std::floor(*number) || *number < 0.0 || *number > 2.0)
        return std::nullopt;
    return static_cast<int>(*number);
}

// A measure in twips is a single-precision number; widths and heights cannot be negative.
enum class Sign { Any, NotNegative };

std::optional<double> toMeasure(const QString& text, Sign sign) {
    const auto number = toNumber(text);
    if (!number || std::fabs(*number) > std::numeric_limits<float>::max())
        return std::nullopt;
    if (sign == Sign::NotNegative && *number < 0.0)
        return std::nullopt;
    return static_cast<double>(static_cast<float>(*number));
}

// The shortest text that reads back as the same single-precision value, never in exponent
// form, always with a decimal point so that the file reads the same in every locale.
std::optional<QString> measureText(double measure) {
    const float value = static_cast<float>(measure);
    if (!std::isfinite(value))
        return std::nullopt;
    char buffer[64];
    const auto result =
        std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed);
    if (result.ec != std::errc())
        return std::nullopt;
    return QString::fromLatin1(buffer, result.ptr - buffer);
}

// A label offset: millimetres in tenths, within reach of the spin boxes that set it. A value
// out of range is taken as the nearest one in range rather than dropped.
std::optional<double> toLabelOffset(const QString& text) {
    const auto number = toNumber(text);
    if (!number)
        return std::nullopt;
    const double limit = UserSettings::MaxLabelOffset;
    return std::round(std::clamp(*number, -limit, limit) * 10.0) / 10.0;
}

QString labelOffsetText(double offset) {
    return QLocale::c().toString(offset, 'f', 1);
}

// The device a serial port stands for: "CommDevice1" ... "CommDevice4", beside the port choice.
QString commDeviceKey(int port) {
    return QStringLiteral("CommDevice%1").arg(port);
}

const QString LabelOffsetXKey = QStringLiteral("LabelOffsetX");
const QString LabelOffsetYKey = QStringLiteral("LabelOffsetY");

// A settings file that is there but is no file the program can use (a named pipe, a device,
// a folder, one far too large, one that cannot be read) is told once per run: after that the
// program quietly goes on with the values it holds, and every save leaves the thing alone.
PrivateProfile loadAndReport(const QString& path) {
    PrivateProfile file = PrivateProfile::load(path);
    if (file.isReadable())
        return file;
    static QSet<QString> reported;
    const QString name = QDir::cleanPath(QDir(path).absolutePath());
    if (reported.contains(name))
        return file;
    reported.insert(name);
    ui::MessageBoxService::inform(
        QStringLiteral("The file \"%1\" is not used: %2. Quillory goes on with the settings it "
                       "has, keeps changes to them only until it ends, and leaves the file as it "
                       "is.")
            .arg(QDir::toNativeSeparators(name), file.problem()),
        {}, ui::Icon::Exclamation);
    return file;
}

// Reads the keys of one section; an empty text stands for a missing key or an empty value,
// both of which leave a setting alone.
class Reader {
public:
    explicit Reader(const QString& path) : m_file(loadAndReport(path)) {}

    QString text(const QString& key) const { return m_file.value(SettingsStore::Section, key); }

    void readText(const QString& key, QString& field) const {
        const QString value = text(key);
        if (!value.isEmpty())
            field = value;
    }

    template <typename Convert>
    auto read(const QString& key, Convert convert) const -> decltype(convert(QString())) {
        const QString value = text(key);
        if (value.isEmpty())
            return std::nullopt;
        return convert(value);
    }

    // Applies the group's flags in order: true selects that option (clearing the others),
    // false clears it only when it is the one selected. True when an option that was not
    // selected became selected, which is what a click on it would have done.
    template <typename T>
    bool readGroup(const std::vector<Option<T>>& group, T& selected, T none) const {
        bool newlySelected = false;
        for (const Option<T>& option : group) {
            const std::optional<bool> flag = read(option.key, toFlag);
            if (!flag)
                continue;
            if (*flag) {
                newlySelected = newlySelected || selected != option.value;
                selected = option.value;
            } else if (selected == option.value) {
                selected = none;
            }
        }
        return newlySelected;
    }

private:
    PrivateProfile m_file;
};

class Writer {
public:
    explicit Writer(QString path) : m_path(std::move(path)), m_file(loadAndReport(m_path)) {}

    void write(const QString& key, const QString& value) {
        m_file.setValue(SettingsStore::Section, key, value);
    }

    // A group with no option selected writes nothing, so the file keeps the choice it holds.
    template <typename T> void writeGroup(const std::vector<Option<T>>& group, T selected) {
        const bool anySelected = std::any_of(
            group.begin(), group.end(), [&](const Option<T>& o) { return o.value == selected; });
        if (!anySelected)
            return;
        for (const Option<T>& option : group)
            write(option.key,
                  option.value == selected ? QStringLiteral("True") : QStringLiteral("False"));
    }

    // The undetermined state (2) writes nothing, so the file keeps what it holds.
    void writeCheckState(const QString& key, int state) {
        if (state == 0 || state == 1)
            write(key, QString::number(state));
    }

    void writeMeasure(const QString& key, const std::optional<double>& measure) {
        if (!measure)
            return;
        if (const auto text = measureText(*measure))
            write(key, *text);
    }

    // A printer calibration that was never set leaves the file as earlier versions wrote it; once
    // the key is there, it follows every change, back to zero too.
    void writeLabelOffset(const QString& key, double offset) {
        if (offset != 0.0 || !m_file.value(SettingsStore::Section, key).isEmpty())
            write(key, labelOffsetText(offset));
    }

    // A device never chosen leaves the file as earlier versions wrote it; once the key is there,
    // it follows every change, back to the port's own device (an empty value) too.
    void writeDeviceChoice(const QString& key, const QString& device) {
        if (!device.isEmpty() || !m_file.value(SettingsStore::Section, key).isEmpty())
            write(key, device);
    }

    // A file that exists but cannot be read is not overwritten with only the keys we hold, and
    // nothing is written into a pipe or a device, nor put in its place.
    bool save() const { return m_file.isReadable() && m_file.save(m_path); }

private:
    QString m_path;
    PrivateProfile m_file;
};

const QString LeftKey = QStringLiteral("Left");
const QString TopKey = QStringLiteral("Top");
const QString WidthKey = QStringLiteral("Width");
const QString HeightKey = QStringLiteral("Height");
const QString MaximizedKey = QStringLiteral("Maximized");

} // namespace

SettingsStore::SettingsStore(QString programFolder) : m_folder(std::move(programFolder)) {}

QString SettingsStore::settingsPath() const {
    return files::resolveName(m_folder, SettingsFileName);
}

QString SettingsStore::geometryPath() const {
    return files::resolveName(m_folder, GeometryFileName);
}

LoadOutcome SettingsStore::load(UserSettings& settings) const {
    LoadOutcome outcome;
    const Reader file(settingsPath());

    // Only the exact word presses the button; nothing a load reads releases it.
    if (file.text(BoldKey) == BoldPressed) {
        settings.boldPressed = true;
        outcome.boldPressed = true;
    }
    file.readText(QStringLiteral("BUdrive"), settings.lastBackupLocation);
    file.readText(QStringLiteral("USERName"), settings.userName);
    file.readText(QStringLiteral("USERAddress1"), settings.userAddress1);
    file.readText(QStringLiteral("USERAddress2"), settings.userAddress2);
    file.readText(QStringLiteral("USERCity"), settings.userCity);
    file.readText(QStringLiteral("USERState"), settings.userState);
    file.readText(QStringLiteral("USERZip"), settings.userZip);
    file.readGroup(commPortOptions(), settings.commPort, 0);
    for (int port = 1; port <= UserSettings::CommPorts; ++port)
        file.readText(commDeviceKey(port),
                      settings.commDevices[static_cast<std::size_t>(port - 1)]);
    file.readText(QStringLiteral("WordProc"), settings.wordProcessorPath);
    file.readGroup(wordProcessorOptions(), settings.wordProcessor, WordProcessor::None);
    file.readGroup(envelopeFeedOptions(), settings.envelopeFeed, EnvelopeFeed::None);
    file.readGroup(labelStockOptions(), settings.labelStock, 0);
    if (const auto offset = file.read(LabelOffsetXKey, toLabelOffset))
        settings.labelOffsetX = *offset;
    if (const auto offset = file.read(LabelOffsetYKey, toLabelOffset))
        settings.labelOffsetY = *offset;
    outcome.toolbarStyleSelected =
        file.readGroup(toolbarStyleOptions(), settings.toolbarStyle, ToolbarStyle::None);
    if (const auto state = file.read(QStringLiteral("TIP"), toCheckState))
        settings.showTips = *state;
    if (const auto state = file.read(QStringLiteral("BUdata"), toCheckState))
        settings.autoBackup = *state;
    for (int column = 0; column < UserSettings::StoredGridColumns; ++column) {
        const auto width = file.read(gridKey(column), [](const QString& text) {
            return toMeasure(text, Sign::NotNegative);
        });
        if (width) {
            settings.gridWidths[static_cast<std::size_t>(column)] = *width;
            outcome.gridWidthsLoaded[static_cast<std::size_t>(column)] = true;
        }
    }
    return outcome;
}

bool SettingsStore::save(const UserSettings& settings) const {
    Writer file(settingsPath());
    file.write(QStringLiteral("USERName"), settings.userName);
    file.write(QStringLiteral("USERAddress1"), settings.userAddress1);
    file.write(QStringLiteral("USERAddress2"), settings.userAddress2);
    file.write(QStringLiteral("USERCity"), settings.userCity);
    file.write(QStringLiteral("USERState"), settings.userState);
    file.write(QStringLiteral("USERZip"), settings.userZip);
    file.write(QStringLiteral("WordProc"), settings.wordProcessorPath);
    file.write(QStringLiteral("BUdrive"), settings.lastBackupLocation);
    file.write(BoldKey, settings.boldPressed ? BoldPressed : BoldUnpressed);
    file.writeGroup(commPortOptions(), settings.commPort);
    for (int port = 1; port <= UserSettings::CommPorts; ++port)
        file.writeDeviceChoice(commDeviceKey(port),
                               settings.commDevices[static_cast<std::size_t>(port - 1)]);
    file.writeGroup(wordProcessorOptions(), settings.wordProcessor);
    file.writeGroup(envelopeFeedOptions(), settings.envelopeFeed);
    file.writeGroup(labelStockOptions(), settings.labelStock);
    file.writeGroup(toolbarStyleOptions(), settings.toolbarStyle);
    file.writeCheckState(QStringLiteral("TIP"), settings.showTips);
    file.writeCheckState(QStringLiteral("BUdata"), settings.autoBackup);
    for (int column = 0; column < UserSettings::StoredGridColumns; ++column)
        file.writeMeasure(gridKey(column), settings.gridWidths[static_cast<std::size_t>(column)]);
    file.writeLabelOffset(LabelOffsetXKey, settings.labelOffsetX);
    file.writeLabelOffset(LabelOffsetYKey, settings.labelOffsetY);
    return file.save();
}

WindowGeometry SettingsStore::loadWindowGeometry() const {
    const Reader file(geometryPath());
    const auto measure = [&](const QString& key, Sign sign) {
        return file.read(key, [sign](const QString& text) { return toMeasure(text, sign); });
    };
    WindowGeometry geometry;
    geometry.left = measure(LeftKey, Sign::Any);
    geometry.top = measure(TopKey, Sign::Any);
    geometry.width = measure(WidthKey, Sign::NotNegative);
    geometry.height = measure(HeightKey, Sign::NotNegative);
    geometry.maximized = file.read(MaximizedKey, toFlag);
    return geometry;
}

bool SettingsStore::saveWindowGeometry(const WindowGeometry& geometry) const {
    Writer file(geometryPath());
    file.writeMeasure(LeftKey, geometry.left);
    file.writeMeasure(TopKey, geometry.top);
    file.writeMeasure(WidthKey, geometry.width);
    file.writeMeasure(HeightKey, geometry.height);
    if (geometry.maximized)
        file.write(MaximizedKey,
                   *geometry.maximized ? QStringLiteral("True") : QStringLiteral("False"));
    return file.save();
}

} // namespace quillory
