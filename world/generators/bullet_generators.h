// The bullet generators the guns look up by name: "DefBullGen" (player bullets) and
// "DefMissileGen" (the launcher's missiles) in category 6, "DefBullGenE" (enemy bullets),
// "DefBullRSG" (the round-staff ring) and "DefBullGEF" (the staff star's beam) in category 12. The gun copies the bullet parameters into
// the root node after building; the programs carry only the shape.
#pragma once

// Registers them; registering twice is fatal.
void registerBulletGenerators();
// Unregisters them and frees their programs: after every bullet entity is released.
void unregisterBulletGenerators();
