#pragma once
// The planted library's own header.
