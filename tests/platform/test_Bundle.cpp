// SPDX-License-Identifier: GPL-3.0-or-later
#include "platform/Bundle.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using platform::Bundle;

namespace {
void touch(const QString& path)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    file.open(QIODevice::WriteOnly);
}
} // namespace

TEST(Bundle, FindsAResourceByNameAndTypeAtTheRootFirstThenInSubfolders)
{
    QTemporaryDir dir;
    touch(dir.filePath("click.wav"));
    touch(dir.filePath("b/click.wav"));
    touch(dir.filePath("images/b/key.png"));
    touch(dir.filePath("images/a/key.png"));
    touch(dir.filePath("click.png"));

    const Bundle bundle(dir.path());
    EXPECT_EQ(bundle.pathForResource("click", "wav"), dir.filePath("click.wav"));
    EXPECT_EQ(bundle.pathForResource("key", "png"), dir.filePath("images/a/key.png"));
    EXPECT_EQ(bundle.pathForResource("click", "png"), dir.filePath("click.png"));
}

TEST(Bundle, AnswersEmptyForWhatIsNotThere)
{
    QTemporaryDir dir;
    touch(dir.filePath("images/key.png"));
    const Bundle bundle(dir.path());
    EXPECT_TRUE(bundle.pathForResource("keyrelease", "wav").isEmpty());
    EXPECT_TRUE(bundle.pathForResource("", "wav").isEmpty());
    EXPECT_TRUE(bundle.pathForResource("images", "").isEmpty()); // a folder is no resource
    EXPECT_TRUE(bundle.pathForResource("../key", "png").isEmpty());
    EXPECT_TRUE(bundle.URLForResource("keyrelease", "wav").isEmpty());
}

TEST(Bundle, MakesQrcUrlsForResourcePathsAndFileUrlsOtherwise)
{
    EXPECT_EQ(Bundle::fileURLWithPath(":/click.wav"), QUrl("qrc:/click.wav"));
    EXPECT_EQ(Bundle::fileURLWithPath(":/images/key.png").toString(), "qrc:/images/key.png");
    EXPECT_EQ(Bundle::fileURLWithPath("/tmp/x y.wav"), QUrl::fromLocalFile("/tmp/x y.wav"));
    EXPECT_TRUE(Bundle::fileURLWithPath("").isEmpty());
    EXPECT_EQ(Bundle::mainBundle().root(), ":/");
}
