#include "core/FieldBinder.h"

#include "platform/engine/DataSource.h"
#include "platform/files/PlatformError.h"
#include "platform/ui/MessageBox.h"

#include <algorithm>
#include <exception>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPalette>
#include <QPlainTextEdit>
#include <QScopedValueRollback>

namespace quillory {

namespace {

// Marks a box whose text is longer than the box's entry limit: a tinted face, and a tip with the
// whole value and the limit.
void markLonger(QLineEdit* box, int limit) {
    const bool marked = box->testAttribute(Qt::WA_SetPalette);
    if (box->text().size() <= limit) {
        if (marked) {
            box->setPalette(QPalette());
            box->setToolTip(QString());
        }
        return;
    }
    if (!marked) {
        QPalette tinted = box->palette();
        tinted.setColor(QPalette::Base, QColor(0xff, 0xf0, 0xc0));
        tinted.setColor(QPalette::Text, Qt::black);
        box->setPalette(tinted);
    }
    box->setToolTip(QStringLiteral("%1\n\nLonger than the %2 characters this box takes: kept "
                                   "whole, and saved as it is unless you change it.")
                        .arg(box->text())
                        .arg(limit));
}

// A stored value may be longer than the box takes (imported, or typed into the grid). The box
// holds it whole, so that saving never shortens a value the user did not edit; the limit applies
// again to values that fit.
void showWhole(QLineEdit* box, int limit, const QString& text) {
    box->setMaxLength(std::max(limit, int(text.size())));
    box->setText(text);
    // A box shows the start of a value wider than itself, but the box the user types into (even
    // while another window is active) keeps its cursor at the end, where the typing goes on.
    if (box->window()->focusWidget() != box)
        box->setCursorPosition(0);
    markLonger(box, limit);
}

QString reasonOf(const std::exception& error) {
    if (const auto* platform = dynamic_cast<const PlatformError*>(&error))
        return platform->description();
    return QString::fromLocal8Bit(error.what());
}

} // namespace

FieldBinder::FieldBinder(engine::DataSource& source, QObject* parent)
    : QObject(parent), m_source(source) {
    connect(&m_source, &engine::DataSource::repositioned, this, &FieldBinder::fill);
}

void FieldBinder::pending(const QString& field, const QString& text) {
    if (m_filling || !m_source.isOpen())
        return;
    try {
        if (m_source.absolutePosition() < 0 && !m_source.isAdding()) {
            // No row to edit (an empty book or view): what is typed starts a new contact. Blanks
            // alone (the display name of an empty card) start none.
            if (text.trimmed().isEmpty())
                return;
            startContactFromCard();
            return;
        }
        m_source.setValue(field, text);
    } catch (const std::exception& error) {
        reportRefused(field, reasonOf(error));
    }
}

void FieldBinder::startContactFromCard() {
    {
        const QScopedValueRollback keep(m_keepCard, true);
        m_source.addNew();
    }
    for (const Binding& binding : std::as_const(m_bindings)) {
        if (!binding.typed)
            continue;
        const QString text = binding.typed();
        if (text.isEmpty())
            continue;
        try {
            m_source.setValue(binding.field, text);
        } catch (const std::exception& error) {
            reportRefused(binding.field, reasonOf(error));
        }
    }
}

void FieldBinder::reportRefused(const QString& field, const QString& reason) {
    if (m_refused.contains(field))
        return;
    m_refused.insert(field);
    auto* parent = qobject_cast<QWidget*>(this->parent());
    ui::MessageBoxService::show(
        {QStringLiteral("What is typed into this box cannot be saved.\n\n%1").arg(reason),
         ui::Buttons::Ok,
         ui::Icon::Exclamation,
         0,
         {}},
        parent);
}

void FieldBinder::bind(QLineEdit* box, const QString& field) {
    const int limit = box->maxLength();
    connect(box, &QLineEdit::textChanged, this, [this, box, field, limit](const QString& text) {
        markLonger(box, limit);
        pending(field, text);
    });
    m_bindings.append({box, field,
                       [box, limit](const QString& text) { showWhole(box, limit, text); },
                       [box] { return box->text(); }});
}

void FieldBinder::bind(QPlainTextEdit* box, const QString& field) {
    connect(box, &QPlainTextEdit::textChanged, this,
            [this, box, field] { pending(field, box->toPlainText()); });
    m_bindings.append({box, field,
                       [box](const QString& text) {
                           if (box->toPlainText() != text)
                               box->setPlainText(text);
                       },
                       [box] { return box->toPlainText(); }});
}

void FieldBinder::bind(QComboBox* box, const QString& field) {
    connect(box, &QComboBox::editTextChanged, this,
            [this, field](const QString& text) { pending(field, text); });
    m_bindings.append({box, field, [box](const QString& text) { box->setEditText(text); },
                       [box] { return box->currentText(); }});
}

void FieldBinder::bind(QLabel* label, const QString& field) {
    m_bindings.append({label, field, [label](const QString& text) { label->setText(text); }, {}});
}

void FieldBinder::fill() {
    if (m_keepCard)
        return;
    const QScopedValueRollback filling(m_filling, true);
    m_refused.clear();
    const bool hasRow = m_source.absolutePosition() >= 0 || m_source.isAdding();
    for (const Binding& binding : std::as_const(m_bindings))
        binding.show(hasRow ? m_source.value(binding.field).toString() : QString());
}

} // namespace quillory
