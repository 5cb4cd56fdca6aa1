// Effects that keep giving out while they live: smoke letting go of particles
// at its frequency, and sound effects carrying their channel of the sound
// engine. Spawned from their templates, ticked in fixed steps until they end.
#include "fx_fixture.h"
#include "render/world_links.h"
#include "sound/sound_buffers.h"
#include "sound/sound_engine.h"
#include "world/fx_particle.h"
#include "world/fx_smoke.h"
#include "world/fx_sound.h"
#include "world/fx_spawn.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <map>
#include <memory>

namespace vesk::test {
namespace {

const char* kPuff = "puff = { id = 'puff', type = 'particle' }";

std::string SmokeEntry(const std::string& extra) {
    return "trail = { id = 'trail', type = 'smoke_alpha', vmin = '0', vmax = '0', MaxSize = '3', MinSize = "
           "'2',"
           " MaxLifeTime = '0.65', MinLifeTime = '0.55', particleID = 'puff', color = 'C0808080',"
           " color2 = '00404040', friction = '10', frequency = '10' " +
           extra + " }";
}

class FxEmittersTest : public FxTest {
protected:
    std::vector<FXParticleClass*> Particles(TBaseRenderUnit* smoke) {
        std::vector<FXParticleClass*> out;
        if (smoke->ChildsBRU())
            for (TBaseRenderUnit* c : *smoke->ChildsBRU())
                if (auto* p = dynamic_cast<FXParticleClass*>(c); p && !p->HasFlag(BRU_KILLED))
                    out.push_back(p);
        return out;
    }
    FXSmokeClass* Smoke(TBaseRenderUnit* at) {
        FXDescrStruct desc{};
        desc.SmokeTargetBRU = at;
        return Spawn<FXSmokeClass>("trail", engine, &desc);
    }
};

// ---- smoke -----------------------------------------------------------------------------------------

TEST_F(FxEmittersTest, SmokeLetsGoOneParticleEachPeriodAndTheyTrailBehindItsEmitter) {
    LoadFx(std::string(kPuff) + ", " + SmokeEntry(""));
    RecUnit* nozzle = Unit(env, "nozzle");
    engine->UpdateMatrices(nullptr);
    FXSmokeClass* smoke = Smoke(nozzle);
    ASSERT_NE(smoke, nullptr);
    EXPECT_FLOAT_EQ(smoke->Period(), 0.1f);
    EXPECT_EQ(smoke->GetBlendMode(), kBlendAlpha);
    // One particle every 0.1 s of unpaused time, each where the nozzle was.
    for (int i = 0; i < 3; ++i) {
        Step(100.0f);
        nozzle->SetPosition({10.0f * float(i + 1), 0, 0});
        engine->UpdateMatrices(nullptr);
    }
    const std::vector<FXParticleClass*> ps = Particles(smoke);
    ASSERT_EQ(ps.size(), 3u);
    for (size_t i = 0; i < ps.size(); ++i) {
        EXPECT_NEAR(ps[i]->GetPosition().x, 10.0f * float(i), 1e-4f) << i;
        EXPECT_EQ(ps[i]->GetBlendMode(), kBlendAlpha);
        EXPECT_EQ(ps[i]->GetStartColor(), 0xC0808080u);
        EXPECT_EQ(ps[i]->GetEndColor(), 0x00404040u);
        EXPECT_GE(ps[i]->GetCurrentSize(), 2.0f);
        EXPECT_LE(ps[i]->GetCurrentSize(), 3.0f);
    }
    // Not while the game is paused.
    GetRenderWorldLinks().desktopPaused = [] { return true; };
    Step(500.0f);
    EXPECT_EQ(Particles(smoke).size(), 3u);
    GetRenderWorldLinks().desktopPaused = nullptr;
    Step(100.0f);
    Step(100.0f);
    EXPECT_EQ(Particles(smoke).size(), 5u);
}

TEST_F(FxEmittersTest, AStoppedSmokeGoesWithItsLastParticleAndTheyGoBackToThePool) {
    LoadFx(std::string(kPuff) + ", " + SmokeEntry(""));
    const int pooled = PooledParticles();
    RecUnit* nozzle = Unit(env, "nozzle");
    FXSmokeClass* smoke = Smoke(nozzle);
    for (int i = 0; i < 3; ++i) Step(100.0f);
    ASSERT_EQ(Particles(smoke).size(), 3u);
    smoke->Kill();
    EXPECT_TRUE(smoke->IsStopping());
    EXPECT_FALSE(smoke->HasFlag(BRU_KILLED));
    Step(100.0f);
    EXPECT_EQ(Particles(smoke).size(), 3u); // no new one
    const int32_t id = smoke->GetId();
    for (int i = 0; i < 3; ++i) Step(100.0f);
    ASSERT_NE(FindEngineObjectById(id), nullptr);
    for (int i = 0; i < 3; ++i) Step(100.0f);
    EXPECT_EQ(FindEngineObjectById(id), nullptr);
    EXPECT_EQ(PooledParticles(), pooled);

    // An emitter that goes stops its smoke where it last was.
    FXSmokeClass* second = Smoke(nozzle);
    Step(100.0f);
    nozzle->Kill();
    Step(100.0f);
    EXPECT_TRUE(second->IsStopping());
}

TEST_F(FxEmittersTest, SmokeReportsWhatItCannotDo) {
    // A frequency of 0 gives no period: the smoke lets go of nothing.
    LoadFx(std::string(kPuff) + ", " + SmokeEntry(", frequency = '0'"));
    FXSmokeClass* idle = Smoke(Unit(env, "nozzle"));
    for (int i = 0; i < 5; ++i) Step(100.0f);
    EXPECT_TRUE(Particles(idle).empty());

    struct Case {
        std::string entries;
        std::function<void()> act; // none: the load itself fails
        std::string text;
    };
    auto spawnWithout = [this] {
        const FXDescrStruct none{};
        Spawn<FXSmokeClass>("trail", engine, &none);
    };
    auto spawnAt = [this] { Smoke(Unit(env, "nozzle")); };
    const std::string puff = std::string(kPuff) + ", ";
    const std::vector<Case> cases = {
        {puff + SmokeEntry(""), spawnWithout, "FXSmokeClass.SetFromDescStruct: FCarrier=nil: invalid params"},
        {SmokeEntry(""), spawnAt,
         "TBaseRenderUnit.FindFXTemplate: someone try spawn unregistered fx: \"puff\" (see "
         "\"data\\fx\\*.lua\")"},
        {puff + SmokeEntry(", vmax = nil"), nullptr, "kws2f: _str=FXSmokeClass.CreateFromLua: trail: vmax"},
        {puff + SmokeEntry(", frequency = nil"), nullptr,
         "kws2f: _str=FXSmokeClass.CreateFromLua: trail: frequency"},
        {puff + SmokeEntry(""),
         [this] {
             FXSmokeClass* smoke = Smoke(Unit(env, "nozzle"));
             Unit(smoke, "stranger");
             Step(100.0f);
         },
         "FXSmokeClass._Tick: bru.ClassType<>FXParticleClass"},
    };
    for (const Case& c : cases) {
        FreeFXTemplates();
        Lua("fx = {" + c.entries + "} fxOrder = nil");
        if (c.act) {
            LoadFXTemplates();
            EXPECT_THROW(c.act(), Halted) << c.text;
        } else {
            EXPECT_THROW(LoadFXTemplates(), Halted) << c.text;
        }
        EXPECT_EQ(trapAll.lastFatal, c.text);
    }
}

// ---- sound effects ---------------------------------------------------------------------------------

// The channel link of a playing sound: what the effect moves.
class FakeChannel : public TEngineObject, public ISoundController {
public:
    void SetPositionVelocity(const Vec3& p, const Vec3& v) override {
        position = p;
        velocity = v;
        ++updates;
    }
    Vec3 position{}, velocity{};
    int updates = 0;
};

// A sound engine that plays nothing but keeps what it was asked.
class FakeSoundEngine : public TSoundGag {
public:
    bool IsEnabled() override { return true; }
    int Add(int channel, const std::string& file, int, int, const std::string&, bool loop) override {
        added.push_back(std::to_string(channel) + ":" + file + (loop ? ":loop" : ":once"));
        return static_cast<int>(added.size()) - 1;
    }
    int Play3DSound(int channel, int id, int minDistance, int maxDistance, int divisor, IEngineObject*,
                    ISoundController*& controller) override {
        played.push_back(std::to_string(channel) + ":" + std::to_string(id) + ":" +
                         std::to_string(minDistance) + ":" + std::to_string(maxDistance) + ":" +
                         std::to_string(divisor));
        channels.push_back(TEngineObject::New<FakeChannel>());
        controller = channels.back();
        return id;
    }
    std::vector<std::string> added, played;
    std::vector<FakeChannel*> channels;
};

class FxSoundTest : public FxEmittersTest {
protected:
    void SetUp() override {
        FxEmittersTest::SetUp();
        saved_ = SoundEngine;
        sound = std::make_shared<FakeSoundEngine>();
        SoundEngine = sound;
    }
    void TearDown() override {
        for (auto& [channel, id] : ids_)
            if (FindEngineObjectById(id)) channel->Free();
        FxEmittersTest::TearDown();
        SoundEngine = saved_;
    }
    FXSoundClass* Play(const char* templ, TBaseRenderUnit* at) {
        auto* s = dynamic_cast<FXSoundClass*>(FXSpawn({"", Template(templ)->GetHex(), at->GetHex()}));
        if (!sound->channels.empty()) ids_[sound->channels.back()] = sound->channels.back()->GetId();
        return s;
    }
    // The sound engine lets go of a channel whose sound has played out.
    void PlayOut(FakeChannel* c) {
        ids_.erase(c);
        c->Release();
    }
    std::shared_ptr<FakeSoundEngine> sound;

    std::map<FakeChannel*, int32_t> ids_;

private:
    std::shared_ptr<ISoundEngineInterface> saved_;
};

const char* kSounds =
    "hum = { id = 'hum', type = 'sound', name = 'sounds/hum.wav', loop = '1', priority = '3',"
    " minrange = '50', maxrange = '900' },"
    " bang = { id = 'bang', type = 'sound', name = 'sounds/bang.wav', loop = 'x',"
    " minrange = 'near' }";

TEST_F(FxSoundTest, ASoundEffectOpensItsChannelAndCarriesItWithItsUnit) {
    LoadFx(kSounds, "'hum', 'bang'");
    // Registered once per template with the space channel, the data folder's path and the loop switch.
    EXPECT_EQ(sound->added, (std::vector<std::string>{"7:" + DataPath + "sounds/hum.wav:loop",
                                                      "7:" + DataPath + "sounds/bang.wav:once"}));
    auto* bang = dynamic_cast<FXSoundClass*>(Template("bang"));
    EXPECT_FALSE(bang->IsLooping());
    EXPECT_EQ(bang->Priority(), 1);
    EXPECT_EQ(bang->MinRange(), 100);
    EXPECT_EQ(bang->MaxRange(), 1000);

    RecUnit* ship = Unit(env, "ship");
    ship->SetPosition({10, 20, 30});
    MovingBody body(ship, {300, 0, 0});
    ship->SetBPU(&body);
    engine->UpdateMatrices(nullptr);
    FXSoundClass* hum = Play("hum", ship);
    ASSERT_NE(hum, nullptr);
    EXPECT_EQ(sound->played, (std::vector<std::string>{"7:0:50:900:3"}));
    // Spawned by the scripts it is named by its id; spawned by an effect, after its parent and template.
    EXPECT_EQ(hum->GetName(), IntToHex8(hum->GetId()));
    FXDescrStruct desc{};
    desc.SoundTargetBRU = ship;
    TBaseRenderUnit* other = TBaseRenderUnit::SpawnEffect(Template("bang"), ship, &desc);
    ASSERT_NE(other, nullptr);
    ids_[sound->channels.back()] = sound->channels.back()->GetId();
    EXPECT_EQ(other->GetName(), "ship.bang_" + IntToHex8(other->GetId()));
    // Told of no place (a ship's helper sound), it sounds where it was spawned.
    const FXDescrStruct none{};
    auto* helperSound =
        dynamic_cast<FXSoundClass*>(TBaseRenderUnit::SpawnEffect(Template("bang"), ship, &none));
    ASSERT_NE(helperSound, nullptr);
    ids_[sound->channels.back()] = sound->channels.back()->GetId();
    EXPECT_EQ(helperSound->Target(), ship);
    // The channel stands at the unit and moves with its velocity, bent for the Doppler effect.
    engine->UpdateMatrices(nullptr);
    FakeChannel* channel = sound->channels.front();
    EXPECT_FLOAT_EQ(channel->position.y, 20.0f);
    const float bent = std::atan(300.0f / kSoundDopplerSpeed) * kSoundDopplerMaxSpeed / 3.14f * 2.0f;
    EXPECT_NEAR(channel->velocity.x, bent, 1e-3f);
    EXPECT_LT(channel->velocity.x, kSoundDopplerMaxSpeed * kSoundDopplerFactor);
    // A unit without physics gives its place and no speed.
    ship->SetBPU(nullptr);
    ship->SetPosition({0, 5, 0});
    engine->UpdateMatrices(nullptr);
    EXPECT_FLOAT_EQ(channel->position.y, 5.0f);
    EXPECT_FLOAT_EQ(channel->velocity.x, 0.0f);
}

TEST_F(FxSoundTest, ALoopEndsWithItsEffectButASoundThatPlaysOnceEndsWithItsSound) {
    LoadFx(kSounds, "'hum', 'bang'");
    RecUnit* ship = Unit(env, "ship");
    FXSoundClass* hum = Play("hum", ship);
    FXSoundClass* bang = Play("bang", ship);
    hum->Kill();
    bang->Kill();
    EXPECT_TRUE(hum->HasFlag(BRU_KILLED));
    EXPECT_FALSE(bang->HasFlag(BRU_KILLED));
    Step(100.0f);
    const int32_t bangId = bang->GetId();
    ASSERT_NE(FindEngineObjectById(bangId), nullptr);
    EXPECT_TRUE(bang->IsPlaying());
    // Its sound has played out: the effect goes.
    PlayOut(sound->channels.back());
    Step(100.0f);
    Step(100.0f);
    EXPECT_EQ(FindEngineObjectById(bangId), nullptr);

    // A sound whose unit goes, goes too.
    FXSoundClass* third = Play("hum", ship);
    const int32_t thirdId = third->GetId();
    ship->Kill();
    Step(100.0f);
    Step(100.0f);
    EXPECT_EQ(FindEngineObjectById(thirdId), nullptr);
}

TEST_F(FxSoundTest, WithTheSoundEngineOffNoSoundEffectIsMade) {
    LoadFx(kSounds, "'hum', 'bang'");
    RecUnit* ship = Unit(env, "ship");
    SoundEngine = std::make_shared<TSoundGag>();
    EXPECT_EQ(FXSpawn({"", Template("hum")->GetHex(), ship->GetHex()}), nullptr);
    FXDescrStruct desc{};
    desc.SoundTargetBRU = ship;
    EXPECT_EQ(TBaseRenderUnit::SpawnEffect(Template("hum"), engine, &desc), nullptr);
    EXPECT_TRUE(trapAll.reports.empty());
    SoundEngine = sound;
}

} // namespace
} // namespace vesk::test
