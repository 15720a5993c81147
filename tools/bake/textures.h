// Every texture of the demo, made from noise and patterns: file names (which
// are also the texture names the scenes and effects share) and the writer.
//
// Opaque surfaces are JPEG (RGB, power-of-two sides: the engine refuses a
// JPEG the device would resize); things with alpha are DDS (DXT3 or DXT5),
// some opaque ones DXT1, small sprites and flare elements A8R8G8B8 or
// A4R4G4B4. No mip-maps: the engine uploads only a DDS file's top level.
//
// Environment maps are sphere maps as the engine looks them up: u = 0.5 nx +
// 0.5, v = 0.5 ny + 0.5 from the camera-space normal, so the sky (normals
// pointing up) is at the bottom of the image.
#pragma once

#include <string>
#include <vector>

#include "tools/image/image.h"

namespace bake::tex {

// Effects (flares, particles) and shared pictures.
inline constexpr const char* kGlow = "data/fx_glow.dds";
inline constexpr const char* kRing = "data/fx_ring.dds";
inline constexpr const char* kStreak = "data/fx_streak.dds";
inline constexpr const char* kHalo = "data/fx_halo.dds";
inline constexpr const char* kSpark = "data/fx_spark.dds";
inline constexpr const char* kSmoke = "data/fx_smoke.dds";
inline constexpr const char* kFire = "data/fx_fire.dds";
inline constexpr const char* kDrop = "data/fx_drop.dds";
inline constexpr const char* kEnvSky = "data/env_sky.jpg";
inline constexpr const char* kEnvWarm = "data/env_warm.jpg";
inline constexpr const char* kEnvHaze = "data/env_haze.jpg";
inline constexpr const char* kEnvLake = "data/env_lake.jpg";
inline constexpr const char* kDetail = "data/detail.jpg";
inline constexpr const char* kLogo = "data/logodemo.dds";
inline constexpr const char* kLoadingStrip = "data/loading.dds";

// Loading scene.
inline constexpr const char* kLoadTile = "data/ld_tile.dds";
inline constexpr const char* kLoadFloor = "data/ld_floor.jpg";

// Jungle.
inline constexpr const char* kJungleGround = "data/jg_ground.jpg";
inline constexpr const char* kJungleBark = "data/jg_bark.jpg";
inline constexpr const char* kJungleLeaf = "data/jg_leaf.jpg";
inline constexpr const char* kJungleFern = "data/jg_fern.jpg";
inline constexpr const char* kRock = "data/rock.jpg";
inline constexpr const char* kJungleWater = "data/jg_water.jpg";

// Cavern.
inline constexpr const char* kCavernRock = "data/cv_rock.jpg";
inline constexpr const char* kCavernCrystal = "data/cv_crystal.jpg";
inline constexpr const char* kCavernShaft = "data/cv_shaft.dds";
inline constexpr const char* kCavernBump = "data/cv_bump.dds";

// Forest.
inline constexpr const char* kForestGrass = "data/fr_grass.jpg";
inline constexpr const char* kForestBark = "data/fr_bark.jpg";
inline constexpr const char* kForestNeedles = "data/fr_needles.jpg";
inline constexpr const char* kForestBirch = "data/fr_birch.jpg";
inline constexpr const char* kForestFlower = "data/fr_flower.dds";
inline constexpr const char* kSunBeam = "data/fr_beam.dds";

// Lake.
inline constexpr const char* kLakeWater = "data/lk_water.jpg";
inline constexpr const char* kLakeRipple = "data/lk_ripple.dds";
inline constexpr const char* kLakeMountain = "data/lk_mountain.jpg";
inline constexpr const char* kLakeSky = "data/lk_sky.jpg";

// Temple.
inline constexpr const char* kTempleMarble = "data/tp_marble.jpg";
inline constexpr const char* kTempleStone = "data/tp_stone.jpg";
inline constexpr const char* kTempleFloor = "data/tp_floor.jpg";
inline constexpr const char* kTempleGold = "data/tp_gold.jpg";

// Space and earth.
inline constexpr const char* kStars = "data/sp_stars.jpg";
inline constexpr const char* kGasGiant = "data/sp_gas.jpg";
inline constexpr const char* kRockyPlanet = "data/sp_rocky.jpg";
inline constexpr const char* kPlanetRing = "data/sp_ring.dds";
inline constexpr const char* kSunSurface = "data/sp_sun.jpg";
inline constexpr const char* kEarth = "data/ea_earth.jpg";
inline constexpr const char* kClouds = "data/ea_clouds.jpg";
inline constexpr const char* kMoon = "data/ea_moon.jpg";
inline constexpr const char* kAtmosphere = "data/ea_atmosphere.jpg";

// Computer.
inline constexpr const char* kPlastic = "data/cp_plastic.jpg";
inline constexpr const char* kScreen = "data/cp_screen.jpg";
inline constexpr const char* kKeys = "data/cp_keys.dds";
inline constexpr const char* kWood = "data/cp_wood.jpg";
inline constexpr const char* kWall = "data/cp_wall.jpg";

// T-Rex.
inline constexpr const char* kDinoSkin = "data/tr_skin.jpg";
inline constexpr const char* kSand = "data/tr_sand.jpg";
inline constexpr const char* kDuskSky = "data/tr_sky.jpg";

// Greetings.
inline constexpr const char* kNeon = "data/gr_neon.dds";
inline constexpr const char* kGrid = "data/gr_grid.jpg";

// Writes every texture under outDir (file names above are relative to it).
// Each file is made independently; `files` receives the paths written.
bool WriteTextures(const std::string& outDir, std::vector<std::string>* files, std::string* error);

}  // namespace bake::tex
