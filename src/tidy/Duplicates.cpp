#include "tidy/Duplicates.h"

namespace quillory::tidy {

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

QVector<DuplicateGroup> findDuplicates(engine::Database&,
                                       const std::function<bool(qint64, qint64)>&) {
    return {};
}

} // namespace quillory::tidy
