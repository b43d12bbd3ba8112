// Panel-information XML files written into a temporary folder, one new file per call.
#pragma once

#include <QByteArray>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

class XmlFilesFixture : public testing::Test {
protected:
    // The path of a new file holding `xml`.
    QString Write(const QByteArray& xml)
    {
        const QString path = directory.filePath(QString::number(++count) + ".xml");
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(xml);
        return path;
    }

    QTemporaryDir directory;

private:
    int count = 0;
};
