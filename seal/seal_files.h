#pragma once

// The files a seal adds to a run folder: the manifest, its detached
// signature (minisign's default name for it) and the public key that checks
// it. They are the seal, not files of the readout.
constexpr char ManifestName[] = "manifest.txt";
constexpr char SignatureName[] = "manifest.txt.minisig";
constexpr char PublicKeyName[] = "zorvan.pub";
