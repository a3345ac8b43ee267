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
        {"Contact Type", "extra4"}, {"Last Name", "name"},   {"First Name", "namef"},
        {"Address1", "address1"},   {"Address2", "address2"}, {"City", "city"},
        {"State", "state"},         {"Zip Code", "zip"},      {"Home Phone", "phone"},
        {"Work Phone", "phone2"},   {"Pager #", "pager"},     {"Other Phone", "phone3"},
        {"Home Fax", "fax"},        {"Work Fax", "fax2"},     {"Email", "email"},
        {"Birthday", "Birthday"},   {"Remarks", "remarks"},   {"extra1", "extra1"},
        {"extra2", "extra2"},       {"extra3", "extra3"},     {"extra5", "extra5"},
        {"extra6", "extra6"},       {"extra7", "extra7"},     {"extra8", "extra8"},
    }};
    return columns;
}

QStringList contactTypes() {
    return {QStringLiteral("Personal Contact"), QStringLiteral("Business Contact")};
}

QString contactTypePrompt() { return QStringLiteral("Select Contact-type"); }

QString letterCriterion(QChar letter) {
    return QStringLiteral("[name]Like'") + letter + QStringLiteral("*") + QStringLiteral("'");
}

QString displayName(const QString& firstName, const QString& lastName) {
    return firstName + QLatin1Char(' ') + lastName;
}

} // namespace quillory::contact
