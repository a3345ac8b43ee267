#pragma once

#include <functional>
#include <QObject>
#include <QSet>
#include <QString>
#include <QVector>

class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QWidget;

namespace quillory {

namespace engine {
class DataSource;
}

// Connects controls to fields of a data source. When the source moves, every bound control is
// filled from the new current row; what the user types (or the program writes into a bound
// box) becomes a pending value of that row, written when the source next moves.
//
// On an empty book or view the card has no row: the first thing typed starts a new contact,
// which takes what the card shows. A box holds its row's value whole even when it is longer
// than the box's entry limit, and is marked then. Whatever the engine answers to typing, the
// keystroke's handler reports it and goes on; no error leaves it.
class FieldBinder final : public QObject {
    Q_OBJECT
public:
    explicit FieldBinder(engine::DataSource& source, QObject* parent = nullptr);

    void bind(QLineEdit* box, const QString& field);
    void bind(QPlainTextEdit* box, const QString& field);
    void bind(QComboBox* box, const QString& field);
    void bind(QLabel* label, const QString& field);

    // Fills every bound control from the current row (runs on every reposition).
    void fill();

private:
    struct Binding {
        QWidget* control;
        QString field;
        std::function<void(const QString&)> show;
        std::function<QString()> typed; // empty for controls the user cannot type into
    };
    void pending(const QString& field, const QString& text);
    void startContactFromCard();
    void reportRefused(const QString& field, const QString& reason);

    engine::DataSource& m_source;
    QVector<Binding> m_bindings;
    bool m_filling = false;
    // Set while a new contact is started from the card's typing: the card keeps what it shows.
    bool m_keepCard = false;
    // Fields whose typing the engine refused, told once until the card shows another row.
    QSet<QString> m_refused;
};

} // namespace quillory
