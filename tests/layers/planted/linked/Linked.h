#pragma once
// A header of a library the planted one links.
