#include "core/FieldBinder.h"

#include "platform/engine/DataSource.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>

namespace quillory {

FieldBinder::FieldBinder(engine::DataSource& source, QObject* parent)
    : QObject(parent), m_source(source) {
    connect(&m_source, &engine::DataSource::repositioned, this, &FieldBinder::fill);
}

void FieldBinder::pending(const QString& field, const QString& text) {
    if (m_filling)
        return;
    // With no row (an empty book or a failed open) there is nothing to edit; typing stays in
    // the box alone.
    if (m_source.absolutePosition() < 0 && !m_source.isAdding())
        return;
    m_source.setValue(field, text);
}

void FieldBinder::bind(QLineEdit* box, const QString& field) {
    connect(box, &QLineEdit::textChanged, this,
            [this, field](const QString& text) { pending(field, text); });
    m_bindings.append({box, field, [box](const QString& text) { box->setText(text); }});
}

void FieldBinder::bind(QPlainTextEdit* box, const QString& field) {
    connect(box, &QPlainTextEdit::textChanged, this,
            [this, box, field] { pending(field, box->toPlainText()); });
    m_bindings.append({box, field, [box](const QString& text) {
                           if (box->toPlainText() != text)
                               box->setPlainText(text);
                       }});
}

void FieldBinder::bind(QComboBox* box, const QString& field) {
    connect(box, &QComboBox::editTextChanged, this,
            [this, field](const QString& text) { pending(field, text); });
    m_bindings.append({box, field, [box](const QString& text) { box->setEditText(text); }});
}

void FieldBinder::bind(QLabel* label, const QString& field) {
    m_bindings.append({label, field, [label](const QString& text) { label->setText(text); }});
}

void FieldBinder::fill() {
    m_filling = true;
    const bool hasRow = m_source.absolutePosition() >= 0 || m_source.isAdding();
    for (const Binding& binding : m_bindings)
        binding.show(hasRow ? m_source.value(binding.field).toString() : QString());
    m_filling = false;
}

} // namespace quillory
