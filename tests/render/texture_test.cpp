#include <gtest/gtest.h>

#include "platform/image_codecs.h"
#include "platform/text.h"
#include "platform/video.h"
#include "render/device.h"
#include "render/engine.h"
#include "render/video_renderer.h"
#include "texture_fixture.h"
#include <cstring>

using namespace vesk;
using namespace vesk::platform;
using namespace vesk::test;

namespace {

class Textures : public TextureFixture {
protected:
    D3DFORMAT FormatOf(const TextureRef& t) { return t->GetImageInfo().Format; }
    std::string Checker() const { return DataPath + kCheckerTexture; }
};

} // namespace

TEST_F(Textures, SpellingsOfOneNameShareOneNode) {
    Put("Textures/ships/Hull.bmp", FlatBmp(4, 4, 0xFF808080u));
    TextureRef first = TextureManager->GetTexture("ships\\hull", D3DFMT_X8R8G8B8, false);
    ASSERT_TRUE(first);
    for (const char* name :
         {"ships/hull", "SHIPS/HULL", "textures/ships/hull", "Data\\Textures\\ships\\hull"}) {
        SCOPED_TRACE(name);
        EXPECT_EQ(TextureManager->GetTexture(name, D3DFMT_A8R8G8B8, true).Get(), first.Get());
    }
    EXPECT_EQ(Created(), 1u);
    EXPECT_EQ(first->GetName(), "ships\\hull");
    EXPECT_EQ(first->GetFileName(), TextureManager->KeyOf("ships/hull"));
    EXPECT_EQ(first->GetFileName(), UpperCaseCp1251(DataPath) + "TEXTURES/SHIPS/HULL");
    EXPECT_EQ(first->GetFullName(), first->GetFileName() + ".BMP");
    EXPECT_EQ(first->GetMipLevels(), 1u);
    ASSERT_NE(first->GetTexture(), nullptr);
    // An opaque format asked for outside "/FX/" is stored compressed.
    EXPECT_EQ(FormatOf(first), D3DFMT_DXT1);
    EXPECT_EQ(first->GetImageInfo().Width, 4u);
}

TEST_F(Textures, ExtensionsAreTriedInOrderAndDdsKeepsItsFormat) {
    Put("textures/both.jpg", FlatBmp(2, 2, 0xFF0000FFu)); // content does not matter: it is never read
    Put("textures/both.dds", ArgbDds(2, 2, 1, {0x80FF0000u, 0x80FF0000u, 0x80FF0000u, 0x80FF0000u}));
    Put("textures/jpgonly.JPG", FlatBmp(2, 2, 0xFF0000FFu)); // stb reads pictures by content
    TextureRef both = TextureManager->GetTexture("both", D3DFMT_X8R8G8B8, false);
    EXPECT_TRUE(both->GetFullName().ends_with("BOTH.DDS"));
    EXPECT_EQ(FormatOf(both), D3DFMT_A8R8G8B8);
    TextureRef jpg = TextureManager->GetTexture("jpgonly", D3DFMT_UNKNOWN, true);
    EXPECT_TRUE(jpg->GetFullName().ends_with("JPGONLY.JPG"));
    EXPECT_EQ(FormatOf(jpg), D3DFMT_X8R8G8B8);
    EXPECT_EQ(jpg->GetMipLevels(), 0u);
    EXPECT_EQ(jpg->GetTexture()->GetLevelCount(), 2u);
    EXPECT_EQ(Log(kErrLogFileName), "");
}

TEST_F(Textures, CompressionSparesEffectsAndFormatsWithAlpha) {
    Put("textures/fx/glow.bmp", FlatBmp(4, 4, 0xFFFFFFFFu));
    Put("textures/ships/plate.bmp", FlatBmp(4, 4, 0xFFFFFFFFu));
    struct Case {
        const char* name;
        D3DFORMAT asked, stored;
    } cases[] = {
        {"fx/glow.bmp", D3DFMT_X8R8G8B8, D3DFMT_X8R8G8B8},
        {"ships/plate.bmp", D3DFMT_X8R8G8B8, D3DFMT_DXT1},
        {"ships/plate.BMP", D3DFMT_R5G6B5, D3DFMT_DXT1},
        {"ships\\PLATE.bmp", D3DFMT_R8G8B8, D3DFMT_DXT1},
        {"textures/SHIPS/plate.bmp", D3DFMT_A8R8G8B8, D3DFMT_A8R8G8B8},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        RE_FreeTextureManager(); // a fresh cache for every case
        RE_CreateTextureManager();
        EXPECT_EQ(FormatOf(TextureManager->GetTexture(c.name, c.asked, false)), c.stored);
    }
}

TEST_F(Textures, MissingFilesFallBackToTheChecker) {
    Put("Textures/general/checker.bmp", FlatBmp(8, 8, 0xFFFF00FFu));
    TextureRef tga = TextureManager->GetTexture("ships/hull.tga", D3DFMT_UNKNOWN, false);
    EXPECT_EQ(tga->GetFullName(), Checker());
    EXPECT_EQ(tga->GetFileName(), UpperCaseCp1251(DataPath) + "TEXTURES/SHIPS/HULL.TGA");
    EXPECT_EQ(tga->GetImageInfo().Width, 8u);
    EXPECT_NE(Log(kErrLogFileName).find("TEXTURE NOT FOUND: " + tga->GetFileName()), std::string::npos);

    TextureRef bare = TextureManager->GetTexture("nothing/here", D3DFMT_UNKNOWN, false);
    EXPECT_EQ(bare->GetFullName(), Checker());
    EXPECT_NE(Log(kErrLogFileName).find("TEXTURE NOT FOUND: " + bare->GetFileName()), std::string::npos);
    EXPECT_TRUE(trap.reports.empty()); // logged, not reported
}

TEST_F(Textures, WithoutAnyCheckerFileTheCheckerIsMadeInMemory) {
    TextureRef t = TextureManager->GetTexture("absent", D3DFMT_UNKNOWN, true);
    ASSERT_NE(t->GetTexture(), nullptr);
    EXPECT_EQ(t->GetFullName(), Checker());
    EXPECT_EQ(t->GetImageInfo().Width, 64u);
    EXPECT_EQ(t->GetTexture()->GetLevelCount(), 7u);
    D3DLOCKED_RECT lr;
    ASSERT_EQ(t->GetTexture()->LockRect(0, &lr, nullptr, D3DLOCK_READONLY), D3D_OK);
    const auto* px = static_cast<const uint32_t*>(lr.pBits);
    EXPECT_EQ(px[0], 0xFFFF00FFu);
    EXPECT_NE(px[8], px[0]);
    t->GetTexture()->UnlockRect(0);
}

TEST_F(Textures, BadFilesAreReportedAndReplaced) {
    Put("textures/broken.bmp", "BM this is no picture");
    Put("textures/movie.avi", "RIFF....AVI ");
    // A fatal report ends the program; here the halt returns so the stand-in can be seen.
    GetErrorHooks().halt = [] {};
    TextureRef broken = TextureManager->LoadTexture("broken.bmp", 1, D3DFMT_UNKNOWN, false);
    ASSERT_FALSE(trap.reports.empty());
    EXPECT_EQ(trap.reports.back().flags, "mhl");
    EXPECT_EQ(trap.reports.back().text.rfind("D3DXGetImageInfoFromFile", 0), 0u);
    // The fatal message says which file is bad.
    EXPECT_NE(trap.reports.back().text.find("TEXTURES/BROKEN.BMP): \rD3DXERR_INVALIDDATA"), std::string::npos)
        << trap.reports.back().text;
    ASSERT_NE(broken->GetTexture(), nullptr);
    EXPECT_EQ(broken->GetImageInfo().Width, 64u);

    trap.reports.clear();
    TextureRef sized0 = TextureManager->LoadTexture("textures\\broken.BMP.x", 0, D3DFMT_UNKNOWN, false);
    EXPECT_TRUE(trap.reports.empty()); // another name: not found, only logged
    EXPECT_EQ(sized0->GetFullName(), Checker());

    // A video file that does not decode is a fatal report of its player.
    trap.reports.clear();
    TextureRef movie = TextureManager->GetTexture("movie", D3DFMT_UNKNOWN, true);
    EXPECT_EQ(trap.lastFatal, "VideoRendererClass.Load: TexRen.Load(" + movie->GetFullName() + ")");
    EXPECT_EQ(movie->GetMipLevels(), 1u);
}

// An ".avi" texture plays its video, looping, and the texture follows the
// updater manager's ticks.
TEST_F(Textures, AviFilesPlayAsVideoTextures) {
    UpdaterManager = TEngineObject::New<UpdaterManagerClass>();
    const uint32_t colours[3] = {0xFFFF0000, 0xFF00FF00, 0xFF0000FF};
    platform::CreateFolders(DataPath + "textures");
    ASSERT_TRUE(WriteColourVideo(DataPath + "textures/screen.avi", {colours[0], colours[1], colours[2]}));
    TextureRef screen = TextureManager->GetTexture("screen", D3DFMT_UNKNOWN, true);
    EXPECT_EQ(screen->GetFullName(), TextureManagerClass::KeyOf("screen") + ".AVI");
    EXPECT_EQ(screen->GetMipLevels(), 1u);
    ASSERT_NE(screen->GetTexture(), nullptr);
    auto* node = static_cast<TextureNodeClass*>(&*screen);
    ASSERT_NE(node->Video(), nullptr);
    EXPECT_EQ(node->Video()->GetTexture(), screen->GetTexture());
    EXPECT_TRUE(node->Video()->Playing());
    EXPECT_TRUE(node->Video()->Loop());
    auto pixel = [&] {
        D3DLOCKED_RECT lr;
        EXPECT_EQ(screen->GetTexture()->LockRect(0, &lr, nullptr, D3DLOCK_READONLY), D3D_OK);
        uint32_t c = 0;
        std::memcpy(&c, lr.pBits, 4);
        screen->GetTexture()->UnlockRect(0);
        return c & 0xFFFFFFu;
    };
    EXPECT_EQ(pixel(), colours[0] & 0xFFFFFFu);
    UpdaterManager->Update(250.0f); // 0.25 s: the second frame
    EXPECT_EQ(pixel(), colours[1] & 0xFFFFFFu);
    UpdaterManager->Update(200.0f);
    EXPECT_EQ(pixel(), colours[2] & 0xFFFFFFu);
    // 20 ms steps: the end at 0.6 s, then from the start again, 0.24 s in.
    UpdaterManager->Update(400.0f);
    EXPECT_TRUE(node->Video()->Playing());
    EXPECT_NEAR(node->Video()->GetPosition(), 0.24, 0.001);
    EXPECT_EQ(pixel(), colours[1] & 0xFFFFFFu);
    screen = nullptr;
    RE_FreeTextureManager(); // the node and its player go with the manager
    EXPECT_TRUE(VideoRendererClass::PlayingList().empty());
    UpdaterManager->Free();
}

TEST_F(Textures, InvalidateAllReloadsEveryNodeButTheEmptyOneOnItsNextUse) {
    Put("textures/a.bmp", FlatBmp(4, 4, 0xFF102030u));
    Put("textures/b.dds", ArgbDds(1, 1, 1, {0xFF000001u}));
    TextureRef a = TextureManager->GetTexture("a", D3DFMT_A8R8G8B8, false);
    TextureRef b = TextureManager->GetTexture("b", D3DFMT_UNKNOWN, false);
    TextureRef empty = TextureManager->GetDefaultTexture();
    EXPECT_EQ(empty->GetTexture(), nullptr);
    EXPECT_EQ(empty->GetFileName(), "");
    const size_t before = Created();

    Put("textures/a.bmp", FlatBmp(8, 8, 0xFF102030u)); // changed on disk
    TextureManager->InvalidateAll();
    EXPECT_FALSE(static_cast<TextureNodeClass*>(empty.Get())->ReloadPending());
    EXPECT_TRUE(static_cast<TextureNodeClass*>(a.Get())->ReloadPending());
    EXPECT_EQ(Created(), before); // nothing reloads until asked
    ASSERT_NE(a->GetTexture(), nullptr);
    EXPECT_EQ(Created(), before + 1);
    EXPECT_EQ(a->GetImageInfo().Width, 8u);
    EXPECT_EQ(FormatOf(a), D3DFMT_A8R8G8B8);
    EXPECT_FALSE(static_cast<TextureNodeClass*>(a.Get())->ReloadPending());
    b->GetTexture();
    EXPECT_EQ(Created(), before + 2);
}

TEST_F(Textures, FindAndReloadByName) {
    Put("textures/a.bmp", FlatBmp(2, 2, 0xFF102030u));
    TextureRef a = TextureManager->GetTexture("Ships\\A", D3DFMT_UNKNOWN, false);
    TextureRef found;
    EXPECT_TRUE(TextureManager->RE_FindTextureByFileName("ships\\a", found));
    EXPECT_EQ(found.Get(), a.Get());
    EXPECT_FALSE(TextureManager->RE_FindTextureByFileName("ships/a", found)); // names, not keys
    EXPECT_FALSE(found);
    const std::string log = Log(kLogFileName);
    EXPECT_NE(log.find("--------------------------begin texes[]--------------------------"),
              std::string::npos);
    EXPECT_NE(log.find("try to find \"ships/a\" in: "), std::string::npos);
    EXPECT_NE(log.find(": Ships\\A\n"), std::string::npos);
    EXPECT_NE(log.find("--------------------------end texes[]--------------------------"), std::string::npos);

    const size_t before = Created();
    TextureManager->RE_ReloadTexture("SHIPS\\a");
    EXPECT_EQ(Created(), before + 1);
    EXPECT_THROW(TextureManager->RE_ReloadTexture("none"), Halted);
    EXPECT_EQ(trap.lastFatal, "TextureManagerClass.RE_ReloadTexture: tex not found: none");
}

TEST_F(Textures, NodesOutliveTheManagerWhileHeldAndWrapOtherTextures) {
    Ref<IDirect3DTexture9> target;
    ASSERT_EQ(Device->CreateTexture(16, 8, 1, D3DUSAGE_RENDERTARGET, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT,
                                    target.Put(), nullptr),
              D3D_OK);
    TextureRef wrapped = TextureManager->AddTexture("rt", target.Get());
    EXPECT_EQ(wrapped->GetTexture(), target.Get());
    EXPECT_EQ(wrapped->GetImageInfo().Width, 16u);
    EXPECT_EQ(wrapped->GetImageInfo().Usage, D3DUSAGE_RENDERTARGET);
    wrapped->MarkForReload(); // no file: nothing to reload
    EXPECT_FALSE(static_cast<TextureNodeClass*>(wrapped.Get())->ReloadPending());
    TextureRef found;
    EXPECT_TRUE(TextureManager->RE_FindTextureByFileName("RT", found));

    const size_t live = LiveEngineObjectCount();
    RE_FreeTextureManager();
    // The manager and entry 0 went; the held node stays usable.
    EXPECT_EQ(LiveEngineObjectCount(), live - 2);
    EXPECT_EQ(wrapped->GetTexture(), target.Get());
    found = nullptr;
    wrapped = nullptr;
    EXPECT_EQ(LiveEngineObjectCount(), live - 3);
}

TEST(TexturesHeadless, WithoutADeviceNodesHaveNoTexture) {
    ErrorTrap trap;
    RE_CreateTextureManager();
    TextureRef t = TextureManager->GetTexture("anything", D3DFMT_UNKNOWN, false);
    EXPECT_EQ(t->GetTexture(), nullptr);
    EXPECT_EQ(t->GetFullName(), DataPath + kCheckerTexture);
    RE_FreeTextureManager();
}
