// The seed corpus writer's pieces: one file per seed, one writer per target.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

// Writes `bytes` as folder/name; false when the file cannot be written.
bool write_seed(const std::string& folder, const std::string& name,
                const std::vector<std::uint8_t>& bytes);

// Seeds of the loader target: crafted sample headers and periods.
bool write_loader_seeds(const std::string& folder);

// Seeds of the XM target: small XM modules.
bool write_xm_seeds(const std::string& folder);

// Seeds of the S3M target: small S3M modules.
bool write_s3m_seeds(const std::string& folder);

// Seeds of the IT target: small IT modules.
bool write_it_seeds(const std::string& folder);
