#pragma once

#include <QString>

// The maker's web site: the About box's link and the web-site command.
// tallowfen.example is a reserved example domain, standing in until the
// maker has a real address.
inline const QString MakerWebsite = QStringLiteral("https://tallowfen.example/postwatch/");
