#include "core/ContactRecord.h"

namespace quillory::contact {

const std::array<CardField, 17>& cardFields() {
    static const std::array<CardField, 17> fields = {{
        {"name", "Text1", "Name-Last:", 50},
        {"namef", "Text12", "First:", 50},
        {"address1", "Text2", "Address1:", 50},
        {"address2", "Text3", "Address2:", 50},
        {"city", "Text4", "City:", 30},
        {"state", "Text5", "State:", 2},
        {"zip", "Text6", "Zip code:", 20},
        {"phone", "Text7", "Home-Phone #:", 30},
        {"phone2", "Text13", "Work-Phone #:", 30},
        {"pager", "Text14", "Pager #:", 30},
        {"phone3", "Text16", "Other-Phone #:", 30},
        {"fax", "Text8", "Home-Fax #:", 30},
        {"fax2", "Text15", "Work-Fax #:", 30},
        {"Birthday", "Text10", "Birthdate MM/DD/YY:", 9},
        {"email", "Text9", "E-mail:", 50},
        {"extra6", "Text18", "Web Page:", 0},
        {"remarks", "Text11", "Remarks:", 0},
    }};
    return fields;
}

const std::array<GridColumn, 24>& gridColumns() {
    static const std::array<GridColumn, 24> columns = {{
        {"Contact Type", "extra4", 1700}, {"Last Name", "name", 1500},
        {"First Name", "namef", 1300},    {"Address1", "address1", 2100},
        {"Address2", "address2", 1500},   {"City", "city", 1500},
        {"State", "state", 700},          {"Zip Code", "zip", 1000},
        {"Home Phone", "phone", 1500},    {"Work Phone", "phone2", 1500},
        {"Pager #", "pager", 1500},       {"Other Phone", "phone3", 1500},
        {"Home Fax", "fax", 1500},        {"Work Fax", "fax2", 1500},
        {"Email", "email", 2600},         {"Birthday", "Birthday", 1100},
        {"Remarks", "remarks", 2800},     {"extra1", "extra1", 1000},
        {"extra2", "extra2", 1000},       {"extra3", "extra3", 1000},
        {"extra5", "extra5", 1000},       {"extra6", "extra6", 2400},
        {"extra7", "extra7", 800},        {"extra8", "extra8", 2200},
    }};
    return columns;
}

QStringList contactTypes() {
    return {QStringLiteral("Personal Contact"), QStringLiteral("Business Contact")};
}

QString contactTypePrompt() {
    return QStringLiteral("Select Contact-type");
}

QString letterCriterion(QChar letter) {
    return QStringLiteral("[name]Like'") + letter + QStringLiteral("*") + QStringLiteral("'");
}

QString displayName(const QString& firstName, const QString& lastName) {
    return firstName + QLatin1Char(' ') + lastName;
}

} // namespace quillory::contact
