// SPDX-License-Identifier: GPL-3.0-or-later
// Every picture the program knows draws something at its design size and at an icon size.

#include "Pictures.h"

#include <QImage>
#include <QtTest>

using namespace welarik;

class TestPictures : public QObject
{
    Q_OBJECT

private slots:
    void everyPictureIsDrawn();
};

void TestPictures::everyPictureIsDrawn()
{
    const QStringList names = pictureNames();
    QVERIFY(names.contains(u"tick"_qs) && names.contains(u"first"_qs));
    for (const QString &name : names) {
        for (const QSize size : {pictureDesignSize(name), QSize(16, 16)}) {
            const QImage image = picture(name, size).toImage();
            QVERIFY2(image.size() == size, qPrintable(name));
            int drawn = 0;
            for (int y = 0; y < image.height(); ++y) {
                for (int x = 0; x < image.width(); ++x)
                    drawn += qAlpha(image.pixel(x, y)) > 0 ? 1 : 0;
            }
            // Neither empty nor a filled square.
            QVERIFY2(drawn > 0 && drawn < image.width() * image.height(), qPrintable(name));
        }
    }
}

QTEST_MAIN(TestPictures)
#include "tst_pictures.moc"
