# Installation and packaging: filled in next.
