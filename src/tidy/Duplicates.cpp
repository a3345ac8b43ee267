#include "tidy/Duplicates.h"

#include "platform/engine/Database.h"

#include <algorithm>
#include <array>
#include <numeric>
#include <QByteArrayList>
#include <QHash>
#include <QSet>
#include <sqlite3.h>

namespace quillory::tidy {

namespace {

// The columns compared, in the order the scan reads them (after the row id).
enum Column { Last = 1, First, Display, Street, City, Zip, Email, FirstPhone };
constexpr std::array phoneFields = {"phone", "phone2", "pager", "phone3", "fax", "fax2"};

// Numbers shorter than this (extensions, short codes) say nothing about who a contact is; it is
// also how many of the last digits put two numbers side by side.
constexpr int ShortestPhone = 7;
// The most digits of a number compared: a whole national number, without the country prefix or
// the trunk 0 that one contact may have and the other not.
constexpr int PhoneTail = 10;
// How many rows between two progress reports.
constexpr qint64 ProgressStep = 2048;

// Keys are compared by a 64-bit hash: two different keys sharing one is too rare to matter in
// a list the user checks before anything is merged, and it keeps a large book's scan in memory
// and time of one pass.
using Hash = quint64;

Hash mix(Hash value) {
    value += 0x9E3779B97F4A7C15ULL;
    value = (value ^ (value >> 30)) * 0xBF58476D1CE4E5B9ULL;
    value = (value ^ (value >> 27)) * 0x94D049BB133111EBULL;
    return value ^ (value >> 31);
}

Hash hashOf(QByteArrayView bytes) {
    return mix(qHash(bytes, size_t(0x5175696C6C6F7279ULL)));
}

Hash combine(Hash a, Hash b) {
    return mix(a ^ (b * 0xC2B2AE3D27D4EB4FULL));
}

QByteArrayView columnText(const engine::Statement& row, int column) {
    const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(row.handle(), column));
    return {text, text ? sqlite3_column_bytes(row.handle(), column) : 0};
}

// The letters and digits of `text` (UTF-8) in lower case without accents, each run of other
// characters one blank: "Jöhn  O'Brien-Smith" is "john obrien smith". Apostrophes join, so
// "O'Brien" is "OBrien".
QByteArray foldWords(QByteArrayView text) {
    QByteArray out;
    out.reserve(text.size());
    bool blank = false;
    const auto word = [&out, &blank](auto c) {
        if (blank && !out.isEmpty())
            out.append(' ');
        blank = false;
        return c;
    };
    const bool ascii = std::all_of(text.begin(), text.end(), [](char c) { return c >= 0; });
    if (ascii) {
        for (const char c : text) {
            if (c == '\'')
                continue;
            if ((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9'))
                out.append(word(c));
            else if (c >= 'A' && c <= 'Z')
                out.append(word(char(c - 'A' + 'a')));
            else
                blank = true;
        }
        return out;
    }
    QString folded;
    for (const QChar c : QString::fromUtf8(text).normalized(QString::NormalizationForm_KD)) {
        if (c == QLatin1Char('\'') || c == QChar(0x2019) || c.category() == QChar::Mark_NonSpacing)
            continue;
        if (c.isLetterOrNumber()) {
            if (blank && !folded.isEmpty())
                folded.append(QLatin1Char(' '));
            blank = false;
            folded.append(c.toCaseFolded());
        } else {
            blank = true;
        }
    }
    return folded.toUtf8();
}

QByteArrayList wordsOf(const QByteArray& folded) {
    return folded.isEmpty() ? QByteArrayList() : folded.split(' ');
}

// The words of a name in alphabetical order, so that word order and a comma between last and
// first name do not matter.
QByteArray sortedWords(QByteArrayList words) {
    std::sort(words.begin(), words.end());
    return words.join(' ');
}

// The street with the common abbreviations written one way.
QByteArray streetKey(QByteArrayView street) {
    static const QHash<QByteArray, QByteArray> shortForms = {
        {"street", "st"},      {"avenue", "ave"},    {"av", "ave"},   {"road", "rd"},
        {"drive", "dr"},       {"lane", "ln"},       {"place", "pl"}, {"court", "ct"},
        {"boulevard", "blvd"}, {"apartment", "apt"},
    };
    QByteArrayList words = wordsOf(foldWords(street));
    for (QByteArray& word : words)
        word = shortForms.value(word, word);
    return words.join(' ');
}

// A phone number by its last digits (at most PhoneTail), leading zeros of an international or
// trunk prefix aside.
struct Phone {
    quint64 digits = 0;
    int length = 0;
};

quint64 powerOfTen(int n) {
    quint64 power = 1;
    while (n-- > 0)
        power *= 10;
    return power;
}

// Nothing (length 0) for a number too short to tell anyone apart.
Phone phoneOf(QByteArrayView text) {
    Phone phone;
    for (const char c : text) {
        if (c < '0' || c > '9')
            continue;
        if (phone.length == 0 && c == '0')
            continue;
        phone.digits = (phone.digits * 10 + quint64(c - '0')) % powerOfTen(PhoneTail);
        ++phone.length;
    }
    phone.length = std::min(phone.length, PhoneTail);
    return phone.length < ShortestPhone ? Phone{} : phone;
}

// One number is the other with or without a country or area prefix.
bool samePhone(const Phone& a, const Phone& b) {
    const quint64 tail = powerOfTen(std::min(a.length, b.length));
    return a.digits % tail == b.digits % tail;
}

// What the finder keeps of one contact once its keys are out.
struct Contact {
    qint64 id = 0;
    QByteArray first; // folded first name
    QVector<Phone> phones;
};

// A key and the contact that has it; sorted, equal keys make a block of contacts.
struct Entry {
    Hash key;
    int contact;
    bool operator<(const Entry& other) const {
        return key != other.key ? key < other.key : contact < other.contact;
    }
};

// The runs of one key in `entries` (sorted here), each with two or more contacts.
template <typename Visit> void forEachBlock(QVector<Entry>& entries, Visit visit) {
    std::sort(entries.begin(), entries.end());
    QVector<int> block;
    for (qsizetype i = 0; i < entries.size();) {
        block.clear();
        qsizetype j = i;
        for (; j < entries.size() && entries[j].key == entries[i].key; ++j) {
            if (block.isEmpty() || block.last() != entries[j].contact)
                block.append(entries[j].contact);
        }
        if (block.size() > 1)
            visit(std::as_const(block), entries[i].key);
        i = j;
    }
}

// Contacts joined into groups, each group the contacts connected by one reason.
class Groups {
public:
    explicit Groups(qsizetype count) : m_parent(count) {
        std::iota(m_parent.begin(), m_parent.end(), 0);
    }
    int root(int i) {
        while (m_parent[i] != i) {
            m_parent[i] = m_parent[m_parent[i]];
            i = m_parent[i];
        }
        return i;
    }
    void join(int a, int b) {
        a = root(a);
        b = root(b);
        if (a != b)
            m_parent[std::max(a, b)] = std::min(a, b);
    }
    void joinAll(const QVector<int>& members) {
        for (qsizetype i = 1; i < members.size(); ++i)
            join(members[0], members[i]);
    }
    // The groups of two or more, each in the order of the contacts (ids ascending), the groups
    // in the order of their first contact.
    QVector<QVector<int>> groups() {
        QVector<int> members(m_parent.size(), 0);
        for (int i = 0; i < int(m_parent.size()); ++i)
            ++members[root(i)];
        QHash<int, qsizetype> slotOf;
        QVector<QVector<int>> out;
        for (int i = 0; i < int(m_parent.size()); ++i) {
            const int r = root(i);
            if (members[r] < 2)
                continue;
            auto slot = slotOf.constFind(r);
            if (slot == slotOf.cend()) {
                slot = slotOf.insert(r, out.size());
                out.append(QVector<int>());
            }
            out[*slot].append(i);
        }
        return out;
    }

private:
    QVector<int> m_parent;
};

// The prefix of a first name, or its initial, names the same person: "J" and "Jo" are "John".
bool firstNamesAgree(const QByteArray& a, const QByteArray& b) {
    return a.startsWith(b) || b.startsWith(a);
}

// A block of one name and the same last digits of a phone: its contacts join where one number
// is the other with or without its prefix.
void joinSamePhones(const QVector<int>& block, const QVector<Contact>& contacts, Groups& groups) {
    for (qsizetype i = 0; i < block.size(); ++i) {
        for (qsizetype j = i + 1; j < block.size(); ++j) {
            for (const Phone& a : contacts[block[i]].phones) {
                for (const Phone& b : contacts[block[j]].phones) {
                    if (samePhone(a, b))
                        groups.join(block[i], block[j]);
                }
            }
        }
    }
}

// A block of one last name and one address: its contacts join where their first names agree.
// In alphabetical order a name's prefixes come before it, so a stack of them is enough.
void joinSimilarFirstNames(QVector<int> block, const QVector<Contact>& contacts, Groups& groups) {
    std::sort(block.begin(), block.end(),
              [&](int a, int b) { return contacts[a].first < contacts[b].first; });
    QVector<int> prefixes;
    for (int index : block) {
        const QByteArray& first = contacts[index].first;
        if (first.isEmpty())
            continue;
        while (!prefixes.isEmpty() && !firstNamesAgree(contacts[prefixes.last()].first, first))
            prefixes.removeLast();
        if (!prefixes.isEmpty())
            groups.join(prefixes.last(), index);
        prefixes.append(index);
    }
}

// The keys of every contact, by reason.
struct Keys {
    QVector<Contact> contacts;
    QVector<Entry> names, namePhones, emails, nameAddresses, lastAddresses;
};

// Reads one contact's keys into `keys`.
void addContact(const engine::Statement& row, Keys& keys) {
    const int index = int(keys.contacts.size());
    Contact contact;
    contact.id = row.columnInt64(0);
    const QByteArray last = foldWords(columnText(row, Last));
    contact.first = foldWords(columnText(row, First));
    QByteArrayList nameWords = wordsOf(last) + wordsOf(contact.first);
    if (nameWords.isEmpty())
        nameWords = wordsOf(foldWords(columnText(row, Display)));
    for (int i = 0; i < int(phoneFields.size()); ++i) {
        const Phone phone = phoneOf(columnText(row, FirstPhone + i));
        if (phone.length > 0)
            contact.phones.append(phone);
    }
    // A field may hold more than one address.
    for (const QByteArray& email : columnText(row, Email).toByteArray().toLower().split(',')) {
        for (const QByteArray& part : email.simplified().replace(';', ' ').split(' ')) {
            if (part.contains('@'))
                keys.emails.append({hashOf(part), index});
        }
    }
    if (!nameWords.isEmpty()) {
        const Hash name = hashOf(sortedWords(nameWords));
        keys.names.append({name, index});
        for (const Phone& phone : contact.phones)
            keys.namePhones.append(
                {combine(name, phone.digits % powerOfTen(ShortestPhone)), index});
        const QByteArray street = streetKey(columnText(row, Street));
        if (!street.isEmpty()) {
            const Hash place = hashOf(street);
            const Hash lastName = hashOf(last);
            const auto addAddress = [&](QByteArray where, char kind) {
                if (where.isEmpty())
                    return;
                const Hash address = combine(place, hashOf(where.prepend(kind)));
                keys.nameAddresses.append({combine(name, address), index});
                if (!last.isEmpty())
                    keys.lastAddresses.append({combine(lastName, address), index});
            };
            addAddress(foldWords(columnText(row, Zip)).replace(' ', QByteArray()), 'z');
            addAddress(foldWords(columnText(row, City)), 'c');
        }
    }
    keys.contacts.append(std::move(contact));
}

// The scan walks the row ids in order, so the id it has reached says how far it has got, and
// the highest id, one row to read, is the whole way: the rows need not be counted first.
qint64 highestId(engine::Database& db) {
    return db.scalar(QStringLiteral("SELECT max(id) FROM PhoneBK")).toLongLong();
}

QString scanQuery() {
    QStringList phones;
    for (const char* field : phoneFields)
        phones.append(QString::fromLatin1(field));
    return QStringLiteral("SELECT id, name, namef, extra8, address1, city, zip, email, %1 FROM "
                          "PhoneBK ORDER BY id")
        .arg(phones.join(QStringLiteral(", ")));
}

} // namespace

QString reasonText(DuplicateReason reason) {
    switch (reason) {
    case DuplicateReason::NameAndPhone:
        return QStringLiteral("same name and phone");
    case DuplicateReason::Email:
        return QStringLiteral("same e-mail");
    case DuplicateReason::SimilarNameAndAddress:
        return QStringLiteral("similar name and same address");
    case DuplicateReason::NameOnly:
        break;
    }
    return QStringLiteral("same name only");
}

QVector<DuplicateGroup>
findDuplicates(engine::Database& db,
               const std::function<bool(qint64 done, qint64 total)>& progress) {
    qint64 total = progress ? highestId(db) : 0;
    engine::Statement scan(db, scanQuery(), engine::Statement::Access::ReadOnly);
    Keys keys;
    while (scan.step()) {
        addContact(scan, keys);
        const qint64 reached = keys.contacts.last().id;
        total = std::max(total, reached);
        if (progress && keys.contacts.size() % ProgressStep == 0 && !progress(reached, total))
            return {};
    }
    const QVector<Contact>& contacts = keys.contacts;
    Groups samePhone(contacts.size()), sameEmail(contacts.size()), sameAddress(contacts.size());
    forEachBlock(keys.namePhones, [&](const QVector<int>& block, Hash) {
        joinSamePhones(block, contacts, samePhone);
    });
    forEachBlock(keys.emails, [&](const QVector<int>& block, Hash) { sameEmail.joinAll(block); });
    forEachBlock(keys.nameAddresses,
                 [&](const QVector<int>& block, Hash) { sameAddress.joinAll(block); });
    forEachBlock(keys.lastAddresses, [&](const QVector<int>& block, Hash) {
        joinSimilarFirstNames(block, contacts, sameAddress);
    });

    QVector<DuplicateGroup> found;
    QSet<QVector<qint64>> listed;
    QVector<bool> inStrongGroup(contacts.size(), false);
    const auto add = [&](DuplicateReason reason, const QVector<int>& members) {
        DuplicateGroup group{reason, {}};
        for (int index : members)
            group.ids.append(contacts[index].id);
        // The same contacts found for a second reason are one group, under the first reason.
        if (listed.contains(group.ids))
            return;
        listed.insert(group.ids);
        if (reason != DuplicateReason::NameOnly) {
            for (int index : members)
                inStrongGroup[index] = true;
        }
        found.append(group);
    };
    for (const QVector<int>& members : samePhone.groups())
        add(DuplicateReason::NameAndPhone, members);
    for (const QVector<int>& members : sameEmail.groups())
        add(DuplicateReason::Email, members);
    for (const QVector<int>& members : sameAddress.groups())
        add(DuplicateReason::SimilarNameAndAddress, members);

    // Strangers who share a name: what is left of each name once the real duplicates are out.
    QVector<QVector<int>> namesakes;
    forEachBlock(keys.names, [&](const QVector<int>& block, Hash) {
        QVector<int> left;
        for (int index : block) {
            if (!inStrongGroup[index])
                left.append(index);
        }
        if (left.size() > 1)
            namesakes.append(left);
    });
    std::sort(namesakes.begin(), namesakes.end(),
              [](const QVector<int>& a, const QVector<int>& b) { return a.first() < b.first(); });
    for (const QVector<int>& members : namesakes)
        add(DuplicateReason::NameOnly, members);
    if (progress && !progress(total, total))
        return {};
    return found;
}

QVector<DuplicateContact> describeContacts(engine::Database& db, const QVector<qint64>& ids) {
    engine::Statement read(db,
                           QStringLiteral("SELECT name, namef, extra8, phone, phone2, pager, "
                                          "phone3, fax, fax2, email, address1, zip, city FROM "
                                          "PhoneBK WHERE id = ?"),
                           engine::Statement::Access::ReadOnly);
    QVector<DuplicateContact> out;
    out.reserve(ids.size());
    for (const qint64 id : ids) {
        read.reset();
        read.bind(1, id);
        if (!read.step())
            continue;
        const auto text = [&read](int column) { return read.column(column).toString().trimmed(); };
        const auto joined = [&text](std::initializer_list<int> columns, const QString& between) {
            QStringList parts;
            for (const int column : columns) {
                if (!text(column).isEmpty())
                    parts.append(text(column));
            }
            return parts.join(between);
        };
        DuplicateContact contact;
        contact.id = id;
        contact.name = joined({0, 1}, QStringLiteral(", "));
        if (contact.name.isEmpty())
            contact.name = text(2);
        contact.phone = joined({3, 4, 5, 6, 7, 8}, QStringLiteral(", "));
        contact.email = text(9);
        contact.address = joined({10, 11, 12}, QStringLiteral(", "));
        out.append(contact);
    }
    return out;
}

} // namespace quillory::tidy
