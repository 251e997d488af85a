#include "signaturelabel.h"

#include <QBoxLayout>
#include <QDialog>

namespace Orvane {
namespace Tavrix {
namespace Designer {

using Common::PackageSignature;

SignatureLabel::SignatureLabel(QWidget* parent)
    : QLabel(parent)
{
    setObjectName(QStringLiteral("signatureLabel"));
    setTextInteractionFlags(Qt::TextSelectableByMouse);
    setWordWrap(true);
}

void SignatureLabel::setSignature(const PackageSignature& signature)
{
    setText(signature.isChecked() ? signature.text() : QString());
    QString colour;
    switch (signature.status()) {
    case PackageSignature::Verified: colour = QStringLiteral("#1d7a2f"); break;
    case PackageSignature::Untrusted: colour = QStringLiteral("#9a6200"); break;
    case PackageSignature::Bad: colour = QStringLiteral("#b3261e"); break;
    case PackageSignature::Unsigned: break;
    }
    setStyleSheet(colour.isEmpty() ? QString() : QStringLiteral("QLabel { color: %1; }").arg(colour));
}

SignatureLabel* SignatureLabel::addTo(QDialog* dialog, const PackageSignature& signature)
{
    auto* label = new SignatureLabel(dialog);
    label->setSignature(signature);
    if (auto* layout = qobject_cast<QBoxLayout*>(dialog->layout()))
        layout->insertWidget(qMin(1, layout->count()), label);
    return label;
}

} // namespace Designer
} // namespace Tavrix
} // namespace Orvane
