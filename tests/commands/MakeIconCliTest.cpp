#include "MakeIconSupport.h"

#include <QFile>
#include <QFileInfo>

using namespace pictomat;

namespace {

class MakeIconCli : public test::TestEnv {
protected:
    void SetUp() override
    {
        TestEnv::SetUp();
        // Nothing is opened or revealed, and no custom icon is asked of a
        // metadata service that the test session may lack.
        for (const char* key : {"OpenImageFileForMe", "OpenImageFolderForMe", "AddCustomIcon"}) {
            const test::ProcessResult r = test::RunPictomat({"defaults", "write", key, "-bool", "false"});
            ASSERT_EQ(r.exitCode, 0) << r.err.constData();
        }
    }
    QString outputFolder() const { return dataHome() + "/Corvane Software/Pictomat"; }
};

TEST_F(MakeIconCli, MakeIconAndExportWriteTheirOutputsAndMissingFilesFail)
{
    const QByteArray photo = writeFile("Photo.jpg", "\xff\xd8\xff\xe0 hardly a photo");
    test::ProcessResult r = test::RunPictomat({"run", "make-icon", QFile::decodeName(photo)});
    EXPECT_EQ(r.exitCode, 0) << r.err.constData();
    const QByteArray icns = QFile::encodeName(outputFolder() + "/Photo.jpg.icns");
    EXPECT_TRUE(test::PillowIcnsSizes(icns).startsWith("16x16@1")) << test::PillowIcnsSizes(icns).constData();

    r = test::RunPictomat({"defaults", "write", "IconSize", "-int", "48"});
    ASSERT_EQ(r.exitCode, 0) << r.err.constData();
    r = test::RunPictomat({"run", "export", "png", QFile::decodeName(photo)});
    EXPECT_EQ(r.exitCode, 0) << r.err.constData();
    EXPECT_EQ(test::PillowDescribe(QFile::encodeName(outputFolder() + "/Photo.jpg.png")), "PNG 48x48");
    EXPECT_TRUE(r.err.isEmpty()) << r.err.constData();

    r = test::RunPictomat({"run", "make-icon", work() + "/missing.jpg"});
    EXPECT_EQ(r.exitCode, 1);
    EXPECT_TRUE(r.err.contains("An icon for the file could not be found.")) << r.err.constData();
    EXPECT_FALSE(QFileInfo::exists(outputFolder() + "/missing.jpg.icns"));
}

} // namespace
