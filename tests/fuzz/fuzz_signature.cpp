// minisign's ".minisig" and ".pub" files from anyone; a signature file followed by a key file
// (from its second "untrusted comment" line) is checked as a package's.
#include "fuzzsupport.h"

#include "minisignpublickey.h"
#include "minisignsignature.h"
#include "packagesignature.h"

#include <QDir>

using namespace Orvane::Tavrix::Common;

DOVREL_FUZZ_INITIALIZE

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray input = FuzzSupport::bytes(data, size);
    MinisignSignature::read(input).keyIdText();
    MinisignPublicKey::read(input).keyIdText();
    const qsizetype split = input.indexOf("\nuntrusted comment: ");
    if (split < 0)
        return 0;
    const QByteArray package("dovrel fuzz package\n");
    const QString path = FuzzSupport::writeScratchFile(QStringLiteral("package.txsw"), package);
    FuzzSupport::writeScratchFile(QStringLiteral("package.txsw.minisig"), input.left(split + 1));
    QDir().mkpath(FuzzSupport::scratchPath(QStringLiteral("keys")));
    FuzzSupport::writeScratchFile(QStringLiteral("keys/fuzz.pub"), input.mid(split + 1));
    const PackageSignature judged = PackageSignature::check(path, package, TrustedKeys::load({ FuzzSupport::scratchPath(QStringLiteral("keys")) }));
    judged.text();
    judged.refusalText(true);
    return 0;
}
