#pragma once

#include <functional>
#include <QObject>
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
    };
    void pending(const QString& field, const QString& text);

    engine::DataSource& m_source;
    QVector<Binding> m_bindings;
    bool m_filling = false;
};

} // namespace quillory
