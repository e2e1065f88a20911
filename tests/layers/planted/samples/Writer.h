#pragma once
// A header of the samples, which no program library includes.
