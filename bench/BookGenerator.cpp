#include "BookGenerator.h"

#include "platform/engine/Database.h"
#include "platform/files/PlatformError.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <QBuffer>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QImage>
#include <random>

namespace quillory::bench {

namespace {

using Random = std::mt19937_64;

// --- pictures ---------------------------------------------------------------------------------

constexpr int photoWidth = 320;
constexpr int photoHeight = 400;

struct Rgb {
    int r, g, b;
};

int channel(Random& rng, int low, int high) {
    return std::uniform_int_distribution<int>(low, high)(rng);
}

// Shading in bands, as a scanned print shows it; smooth gradients would make every picture
// large before any noise is added.
QRgb shade(Rgb c, double factor) {
    factor = std::round(factor * 12) / 12;
    const auto scaled = [factor](int v) { return std::clamp(int(v * factor), 0, 255); };
    return qRgb(scaled(c.r), scaled(c.g), scaled(c.b));
}

bool inEllipse(int x, int y, double cx, double cy, double rx, double ry) {
    const double dx = (x - cx) / rx;
    const double dy = (y - cy) / ry;
    return dx * dx + dy * dy <= 1.0;
}

// A head-and-shoulders portrait in flat, softly shaded colours.
QImage portrait(Random& rng) {
    const Rgb top{channel(rng, 60, 200), channel(rng, 60, 200), channel(rng, 60, 200)};
    const Rgb bottom{channel(rng, 20, 120), channel(rng, 20, 120), channel(rng, 20, 120)};
    const Rgb shirt{channel(rng, 10, 230), channel(rng, 10, 230), channel(rng, 10, 230)};
    const int tone = channel(rng, 0, 3);
    static constexpr std::array<Rgb, 4> skins{
        {{244, 208, 177}, {224, 172, 130}, {176, 121, 83}, {110, 72, 48}}};
    const Rgb skin = skins[size_t(tone)];
    static constexpr std::array<Rgb, 5> hairs{
        {{30, 24, 20}, {92, 60, 34}, {190, 150, 90}, {140, 140, 140}, {150, 60, 30}}};
    const Rgb hair = hairs[size_t(channel(rng, 0, 4))];
    const double headX = 160 + channel(rng, -12, 12);
    const double headY = 190 + channel(rng, -10, 10);
    const double headRx = 68 + channel(rng, 0, 12);
    const double headRy = 88 + channel(rng, 0, 12);

    QImage image(photoWidth, photoHeight, QImage::Format_RGB32);
    for (int y = 0; y < photoHeight; ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        const double t = double(y) / (photoHeight - 1);
        const Rgb backdrop{int(top.r + (bottom.r - top.r) * t), int(top.g + (bottom.g - top.g) * t),
                           int(top.b + (bottom.b - top.b) * t)};
        for (int x = 0; x < photoWidth; ++x) {
            QRgb colour = qRgb(backdrop.r, backdrop.g, backdrop.b);
            if (inEllipse(x, y, 160, 440, 150, 140)) {
                colour = shade(shirt, 1.0 - 0.25 * std::abs(x - 160) / 150.0);
            } else if (x > headX - 26 && x < headX + 26 && y > headY + 50 && y < 330) {
                colour = shade(skin, 0.85);
            }
            const bool inHead = inEllipse(x, y, headX, headY, headRx, headRy);
            if (inEllipse(x, y, headX, headY - 42, headRx + 8, headRy * 0.7) &&
                (!inHead || y < headY - 50)) {
                colour = shade(hair, 1.0);
            } else if (inHead) {
                const double dx = (x - headX) / headRx;
                const double dy = (y - headY) / headRy;
                colour = shade(skin, 1.05 - 0.3 * (dx * dx + dy * dy));
                if (inEllipse(x, y, headX - 28, headY - 5, 8, 6) ||
                    inEllipse(x, y, headX + 28, headY - 5, 8, 6))
                    colour = qRgb(40, 30, 30);
                else if (inEllipse(x, y, headX, headY + 48, 22, 6))
                    colour = qRgb(150, 60, 60);
            }
            line[x] = colour;
        }
    }
    return image;
}

// Sensor noise on a share of the pixels; the same seed gives the same noise.
QImage withNoise(const QImage& base, double share, quint64 seed) {
    QImage image = base.copy();
    Random rng(seed);
    std::uniform_real_distribution<double> chance(0.0, 1.0);
    std::uniform_int_distribution<int> delta(-24, 24);
    for (int y = 0; y < image.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            if (chance(rng) >= share)
                continue;
            const int d = delta(rng);
            const QRgb c = line[x];
            line[x] = qRgb(std::clamp(qRed(c) + d, 0, 255), std::clamp(qGreen(c) + d, 0, 255),
                           std::clamp(qBlue(c) + d, 0, 255));
        }
    }
    return image;
}

QByteArray pngBytes(const QImage& image) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    if (!image.save(&buffer, "PNG"))
        throw PlatformError(ErrorNumber::DeviceIO, QStringLiteral("A picture cannot be encoded."));
    return bytes;
}

// --- contacts ---------------------------------------------------------------------------------

// Every letter from A to Z starts some last name, so each letter of the quick index finds one.
const QStringList& lastNames() {
    static const QStringList names = {
        QStringLiteral("Adams"),     QStringLiteral("Allen"),    QStringLiteral("Anderson"),
        QStringLiteral("Armstrong"), QStringLiteral("Atkins"),   QStringLiteral("Baker"),
        QStringLiteral("Bennett"),   QStringLiteral("Brooks"),   QStringLiteral("Brown"),
        QStringLiteral("Bryant"),    QStringLiteral("Butler"),   QStringLiteral("Campbell"),
        QStringLiteral("Carter"),    QStringLiteral("Clark"),    QStringLiteral("Collins"),
        QStringLiteral("Cooper"),    QStringLiteral("Cruz"),     QStringLiteral("Davis"),
        QStringLiteral("Diaz"),      QStringLiteral("Dixon"),    QStringLiteral("Dunn"),
        QStringLiteral("Edwards"),   QStringLiteral("Ellis"),    QStringLiteral("Evans"),
        QStringLiteral("Estrada"),   QStringLiteral("Fisher"),   QStringLiteral("Fleming"),
        QStringLiteral("Ford"),      QStringLiteral("Foster"),   QStringLiteral("Fuller"),
        QStringLiteral("Garcia"),    QStringLiteral("Gibson"),   QStringLiteral("Gonzalez"),
        QStringLiteral("Graham"),    QStringLiteral("Gray"),     QStringLiteral("Green"),
        QStringLiteral("Hall"),      QStringLiteral("Harris"),   QStringLiteral("Hayes"),
        QStringLiteral("Hernandez"), QStringLiteral("Hill"),     QStringLiteral("Howard"),
        QStringLiteral("Hughes"),    QStringLiteral("Ibarra"),   QStringLiteral("Ingram"),
        QStringLiteral("Irwin"),     QStringLiteral("Ivanov"),   QStringLiteral("Jackson"),
        QStringLiteral("James"),     QStringLiteral("Jenkins"),  QStringLiteral("Johnson"),
        QStringLiteral("Jones"),     QStringLiteral("Jordan"),   QStringLiteral("Keller"),
        QStringLiteral("Kennedy"),   QStringLiteral("Kim"),      QStringLiteral("King"),
        QStringLiteral("Knight"),    QStringLiteral("Lambert"),  QStringLiteral("Lee"),
        QStringLiteral("Lewis"),     QStringLiteral("Lopez"),    QStringLiteral("Lynch"),
        QStringLiteral("Martin"),    QStringLiteral("Martinez"), QStringLiteral("Miller"),
        QStringLiteral("Mitchell"),  QStringLiteral("Moore"),    QStringLiteral("Morgan"),
        QStringLiteral("Murphy"),    QStringLiteral("Nash"),     QStringLiteral("Nelson"),
        QStringLiteral("Newman"),    QStringLiteral("Nguyen"),   QStringLiteral("Norris"),
        QStringLiteral("O'Brien"),   QStringLiteral("Oliver"),   QStringLiteral("Olsen"),
        QStringLiteral("Ortiz"),     QStringLiteral("Owens"),    QStringLiteral("Palmer"),
        QStringLiteral("Parker"),    QStringLiteral("Patel"),    QStringLiteral("Perez"),
        QStringLiteral("Phillips"),  QStringLiteral("Powell"),   QStringLiteral("Quigley"),
        QStringLiteral("Quinn"),     QStringLiteral("Quintero"), QStringLiteral("Ramirez"),
        QStringLiteral("Reed"),      QStringLiteral("Reyes"),    QStringLiteral("Richardson"),
        QStringLiteral("Roberts"),   QStringLiteral("Robinson"), QStringLiteral("Rogers"),
        QStringLiteral("Sanchez"),   QStringLiteral("Scott"),    QStringLiteral("Smith"),
        QStringLiteral("Stewart"),   QStringLiteral("Sullivan"), QStringLiteral("Sutton"),
        QStringLiteral("Taylor"),    QStringLiteral("Thomas"),   QStringLiteral("Thompson"),
        QStringLiteral("Torres"),    QStringLiteral("Turner"),   QStringLiteral("Underwood"),
        QStringLiteral("Upton"),     QStringLiteral("Urban"),    QStringLiteral("Usher"),
        QStringLiteral("Valdez"),    QStringLiteral("Vance"),    QStringLiteral("Vargas"),
        QStringLiteral("Vaughn"),    QStringLiteral("Vega"),     QStringLiteral("Walker"),
        QStringLiteral("Ward"),      QStringLiteral("Watson"),   QStringLiteral("White"),
        QStringLiteral("Williams"),  QStringLiteral("Wilson"),   QStringLiteral("Wright"),
        QStringLiteral("Xavier"),    QStringLiteral("Xiong"),    QStringLiteral("Xu"),
        QStringLiteral("Yamamoto"),  QStringLiteral("Yates"),    QStringLiteral("Yoder"),
        QStringLiteral("Young"),     QStringLiteral("Zamora"),   QStringLiteral("Ziegler"),
        QStringLiteral("Zimmerman"), QStringLiteral("Zuniga"),
    };
    return names;
}

const QStringList& firstNames() {
    static const QStringList names = {
        QStringLiteral("Aaron"),     QStringLiteral("Abigail"),     QStringLiteral("Adam"),
        QStringLiteral("Alice"),     QStringLiteral("Amanda"),      QStringLiteral("Amy"),
        QStringLiteral("Andrew"),    QStringLiteral("Angela"),      QStringLiteral("Ann"),
        QStringLiteral("Anna"),      QStringLiteral("Annabel"),     QStringLiteral("Anne"),
        QStringLiteral("Annette"),   QStringLiteral("Annie"),       QStringLiteral("Anthony"),
        QStringLiteral("Barbara"),   QStringLiteral("Benjamin"),    QStringLiteral("Betty"),
        QStringLiteral("Brian"),     QStringLiteral("Carol"),       QStringLiteral("Catherine"),
        QStringLiteral("Charles"),   QStringLiteral("Christopher"), QStringLiteral("Cynthia"),
        QStringLiteral("Daniel"),    QStringLiteral("David"),       QStringLiteral("Deborah"),
        QStringLiteral("Donald"),    QStringLiteral("Dorothy"),     QStringLiteral("Edward"),
        QStringLiteral("Elizabeth"), QStringLiteral("Emily"),       QStringLiteral("Eric"),
        QStringLiteral("Frank"),     QStringLiteral("Gary"),        QStringLiteral("George"),
        QStringLiteral("Grace"),     QStringLiteral("Hannah"),      QStringLiteral("Harold"),
        QStringLiteral("Helen"),     QStringLiteral("Henry"),       QStringLiteral("Isabel"),
        QStringLiteral("Jack"),      QStringLiteral("James"),       QStringLiteral("Janet"),
        QStringLiteral("Jason"),     QStringLiteral("Jennifer"),    QStringLiteral("Jessica"),
        QStringLiteral("John"),      QStringLiteral("Joseph"),      QStringLiteral("Joshua"),
        QStringLiteral("Karen"),     QStringLiteral("Kenneth"),     QStringLiteral("Kevin"),
        QStringLiteral("Laura"),     QStringLiteral("Linda"),       QStringLiteral("Lisa"),
        QStringLiteral("Margaret"),  QStringLiteral("Maria"),       QStringLiteral("Mark"),
        QStringLiteral("Mary"),      QStringLiteral("Matthew"),     QStringLiteral("Melissa"),
        QStringLiteral("Michael"),   QStringLiteral("Michelle"),    QStringLiteral("Nancy"),
        QStringLiteral("Nicholas"),  QStringLiteral("Olivia"),      QStringLiteral("Patricia"),
        QStringLiteral("Paul"),      QStringLiteral("Peter"),       QStringLiteral("Rachel"),
        QStringLiteral("Raymond"),   QStringLiteral("Rebecca"),     QStringLiteral("Richard"),
        QStringLiteral("Robert"),    QStringLiteral("Ronald"),      QStringLiteral("Ruth"),
        QStringLiteral("Samuel"),    QStringLiteral("Sandra"),      QStringLiteral("Sarah"),
        QStringLiteral("Scott"),     QStringLiteral("Sharon"),      QStringLiteral("Stephen"),
        QStringLiteral("Steven"),    QStringLiteral("Susan"),       QStringLiteral("Thomas"),
        QStringLiteral("Timothy"),   QStringLiteral("Victoria"),    QStringLiteral("Walter"),
        QStringLiteral("William"),   QStringLiteral("Zoe"),
    };
    return names;
}

struct Place {
    const char* city;
    const char* state;
    int zipPrefix;
    int areaCode;
};

constexpr std::array<Place, 20> places{{
    {"Springfield", "IL", 627, 217}, {"Portland", "OR", 972, 503}, {"Portland", "ME", 41, 207},
    {"Austin", "TX", 787, 512},      {"Boston", "MA", 21, 617},    {"Denver", "CO", 802, 303},
    {"Madison", "WI", 537, 608},     {"Columbus", "OH", 432, 614}, {"Raleigh", "NC", 276, 919},
    {"Phoenix", "AZ", 850, 602},     {"Seattle", "WA", 981, 206},  {"Richmond", "VA", 232, 804},
    {"Albany", "NY", 122, 518},      {"Salem", "OR", 973, 971},    {"Fairview", "TN", 370, 615},
    {"Georgetown", "KY", 403, 502},  {"Franklin", "PA", 163, 814}, {"Clinton", "IA", 527, 563},
    {"Greenville", "SC", 296, 864},  {"Bristol", "CT", 60, 860},
}};

constexpr std::array<const char*, 20> streets{
    "Oak",  "Maple", "Pine",   "Cedar",  "Elm",      "Washington", "Lake",
    "Hill", "Main",  "Park",   "Sunset", "Highland", "Ridge",      "Church",
    "Mill", "River", "Spring", "Willow", "Chestnut", "Lincoln"};
constexpr std::array<const char*, 9> streetKinds{"St", "Ave",  "Rd",  "Ln", "Dr",
                                                 "Ct", "Blvd", "Way", "Pl"};
constexpr std::array<const char*, 10> companies{
    "Acme Supply",          "Northwind Traders", "Blue Ridge Partners", "Summit Insurance",
    "Harbor Freight Lines", "Pinecrest Dental",  "Riverbend Bank",      "Lakeside Realty",
    "Copperfield Printing", "Meadowlark Farms"};
constexpr std::array<const char*, 4> mailDomains{"example.com", "example.net", "example.org",
                                                 "mail.example.com"};

class ContactMaker {
public:
    explicit ContactMaker(quint64 seed) : m_rng(seed) {}

    // One contact's fields by name; fields left out (the spare ones, the photo) stay NULL.
    QHash<QString, QVariant> next() {
        const QString last = pick(lastNames());
        const QString first = chance(0.01) ? QString() : pick(firstNames());
        const Place& place = places[size_t(number(0, int(places.size()) - 1))];
        const double kind = uniform();
        const bool business = kind >= 0.5 && kind < 0.9;
        const QString company = QString::fromLatin1(companies[size_t(number(0, 9))]);
        const auto maybe = [this](double p, const auto& make) {
            return chance(p) ? QVariant(make()) : QVariant();
        };
        const auto phoneHere = [this, &place] { return phone(place.areaCode); };

        QHash<QString, QVariant> row;
        row.insert(QStringLiteral("name"), last);
        row.insert(QStringLiteral("namef"), nullable(first));
        row.insert(QStringLiteral("address1"), street());
        row.insert(QStringLiteral("address2"), secondLine());
        row.insert(QStringLiteral("city"), QString::fromLatin1(place.city));
        row.insert(QStringLiteral("state"), QString::fromLatin1(place.state));
        row.insert(QStringLiteral("zip"), QStringLiteral("%1%2")
                                              .arg(place.zipPrefix, 3, 10, QLatin1Char('0'))
                                              .arg(number(0, 99), 2, 10, QLatin1Char('0')));
        row.insert(QStringLiteral("phone"), phoneHere());
        row.insert(QStringLiteral("phone2"), maybe(0.6, phoneHere));
        row.insert(QStringLiteral("pager"), maybe(0.1, phoneHere));
        row.insert(QStringLiteral("phone3"), maybe(0.25, phoneHere));
        row.insert(QStringLiteral("fax"), maybe(0.15, phoneHere));
        row.insert(QStringLiteral("fax2"), maybe(business ? 0.5 : 0.0, phoneHere));
        row.insert(QStringLiteral("Birthday"), maybe(0.5, [this] { return birthday(); }));
        row.insert(QStringLiteral("email"), maybe(0.8, [&] { return email(first, last); }));
        row.insert(QStringLiteral("extra6"),
                   maybe(0.35, [&] { return webPage(first, last, business, company); }));
        row.insert(QStringLiteral("remarks"),
                   maybe(0.4, [&] { return remark(business, company); }));
        if (kind < 0.5)
            row.insert(QStringLiteral("extra4"), QStringLiteral("Personal Contact"));
        else if (business)
            row.insert(QStringLiteral("extra4"), QStringLiteral("Business Contact"));
        // The display name keeps its blank when the first name is empty.
        row.insert(QStringLiteral("extra8"), first + QLatin1Char(' ') + last);
        row.insert(QStringLiteral("extra7"), maybe(0.05, [] { return QStringLiteral("Y"); }));
        return row;
    }

    int number(int low, int high) { return std::uniform_int_distribution<int>(low, high)(m_rng); }

private:
    double uniform() { return std::uniform_real_distribution<double>(0.0, 1.0)(m_rng); }
    bool chance(double p) { return uniform() < p; }
    QString pick(const QStringList& list) { return list[number(0, int(list.size()) - 1)]; }
    static QVariant nullable(const QString& text) { return text.isEmpty() ? QVariant() : text; }

    QString street() {
        return QStringLiteral("%1 %2 %3")
            .arg(number(1, 9999))
            .arg(QString::fromLatin1(streets[size_t(number(0, int(streets.size()) - 1))]),
                 QString::fromLatin1(streetKinds[size_t(number(0, int(streetKinds.size()) - 1))]));
    }

    QVariant secondLine() {
        const double p = uniform();
        if (p < 0.15)
            return QStringLiteral("Apt %1%2").arg(number(1, 40)).arg(QChar(u'A' + number(0, 5)));
        if (p < 0.25)
            return QStringLiteral("Suite %1").arg(number(1, 9) * 100);
        if (p < 0.30)
            return QStringLiteral("PO Box %1").arg(number(10, 9999));
        return {};
    }

    QString phone(int areaCode) {
        return QStringLiteral("(%1) 555-%2")
            .arg(areaCode, 3, 10, QLatin1Char('0'))
            .arg(number(0, 9999), 4, 10, QLatin1Char('0'));
    }

    QString birthday() {
        return QStringLiteral("%1/%2/%3")
            .arg(number(1, 12), 2, 10, QLatin1Char('0'))
            .arg(number(1, 28), 2, 10, QLatin1Char('0'))
            .arg(number(0, 99), 2, 10, QLatin1Char('0'));
    }

    static QString mailName(const QString& text) {
        QString out;
        for (const QChar c : text) {
            if (c.isLetterOrNumber())
                out.append(c.toLower());
        }
        return out;
    }

    QString email(const QString& first, const QString& last) {
        const QString domain = QString::fromLatin1(mailDomains[size_t(number(0, 3))]);
        const QString user =
            first.isEmpty() ? mailName(last) : mailName(first) + QLatin1Char('.') + mailName(last);
        return user + (chance(0.3) ? QString::number(number(1, 99)) : QString()) +
               QLatin1Char('@') + domain;
    }

    QString webPage(const QString& first, const QString& last, bool business,
                    const QString& company) {
        if (business)
            return QStringLiteral("http://www.%1.example.com").arg(mailName(company));
        return QStringLiteral("www.example.org/~%1%2").arg(mailName(first.left(1)), mailName(last));
    }

    QString remark(bool business, const QString& company) {
        switch (number(0, 7)) {
        case 0:
            return QStringLiteral("Met at the %1 open house.").arg(company);
        case 1:
            return QStringLiteral("Prefers e-mail.");
        case 2:
            return QStringLiteral("Call after 6 pm.");
        case 3:
            return QStringLiteral("Send a card every December.\r\nLikes gardening.");
        case 4:
            return business ? QStringLiteral("Account manager at %1.").arg(company)
                            : QStringLiteral("Old friend from school.");
        case 5:
            return QStringLiteral("Referred by %1 %2.").arg(pick(firstNames()), pick(lastNames()));
        case 6:
            return QStringLiteral("Do not call on weekends.");
        default:
            return QStringLiteral("Moved in %1; new address confirmed.").arg(1990 + number(0, 34));
        }
    }

    Random m_rng;
};

} // namespace

QVector<QByteArray> makePhotos(int count, quint64 seed, int targetBytes) {
    QVector<QByteArray> photos;
    Random rng(seed ^ 0x9E3779B97F4A7C15ULL);
    for (int i = 0; i < count; ++i) {
        const QImage base = portrait(rng);
        const quint64 noiseSeed = rng();
        // The PNG grows steadily with the share of noisy pixels: halve the interval until the
        // picture is within a few per cent of the size asked for.
        double low = 0.0;
        double high = 1.0;
        QByteArray best = pngBytes(base);
        if (best.size() < targetBytes) {
            for (int step = 0; step < 16; ++step) {
                const double share = (low + high) / 2;
                QByteArray bytes = pngBytes(withNoise(base, share, noiseSeed));
                best = bytes;
                if (std::abs(bytes.size() - targetBytes) < targetBytes / 50)
                    break;
                (bytes.size() < targetBytes ? low : high) = share;
            }
        }
        photos.append(best);
    }
    return photos;
}

BookReport generateBook(const QString& path, const BookPlan& plan) {
    QElapsedTimer timer;
    timer.start();
    if (QFileInfo::exists(path))
        throw PlatformError(ErrorNumber::EngineAlreadyExists,
                            QStringLiteral("The file \"%1\" already exists.").arg(path));
    const QString partial = path + QStringLiteral(".part");
    QFile::remove(partial);
    QFile::remove(partial + QStringLiteral("-journal"));

    BookReport report;
    const QVector<QByteArray> photos =
        plan.photos ? makePhotos(16, plan.seed, plan.photoBytes) : QVector<QByteArray>();
    engine::book::create(partial);
    {
        std::unique_ptr<engine::Database> db = engine::Database::open(partial);
        // Enough cache to keep both indexes in memory while 100,000 rows go in.
        db->exec(QStringLiteral("PRAGMA cache_size = -131072"));
        const QStringList& fields = engine::book::fieldNames();
        engine::Statement insert(*db, QStringLiteral("INSERT INTO PhoneBK (%1) VALUES (%2)")
                                          .arg(fields.join(QStringLiteral(", ")),
                                               engine::placeholders(int(fields.size()))));
        const qsizetype photoColumn = fields.indexOf(QStringLiteral("bitmap"));
        QVariantList row(fields.size());
        ContactMaker maker(plan.seed);
        db->exec(QStringLiteral("BEGIN"));
        for (int i = 0; i < plan.contacts; ++i) {
            const QHash<QString, QVariant> contact = maker.next();
            for (qsizetype f = 0; f < fields.size(); ++f)
                row[f] = contact.value(fields[f]);
            if (!photos.isEmpty()) {
                const QByteArray& photo = photos[maker.number(0, int(photos.size()) - 1)];
                row[photoColumn] = photo;
                report.photoBytesTotal += photo.size();
            }
            insert.bindAll(row);
            insert.step();
            insert.reset();
        }
        db->exec(QStringLiteral("COMMIT"));
    }
    if (std::rename(QFile::encodeName(partial).constData(), QFile::encodeName(path).constData()) !=
        0)
        throw PlatformError(
            fileErrorNumber(errno),
            QStringLiteral("\"%1\" cannot be renamed to \"%2\".").arg(partial, path));
    report.fileBytes = QFileInfo(path).size();
    report.seconds = double(timer.nsecsElapsed()) / 1e9;
    return report;
}

} // namespace quillory::bench
