# The wheel of the Python package, from an installed tree that
# build-wheel.sh lays out beside this file: the package's code, its
# compiled module, the host and the four deliverables, all in orvane/.
# Built offline with Debian's setuptools and wheel (no PyPI).
import os

from setuptools import setup
from setuptools.dist import Distribution


class CompiledDistribution(Distribution):
    """The compiled module ties the wheel to this Python and platform."""

    def has_ext_modules(self):
        return True


setup(
    name="orvane",
    version=os.environ["ORVANE_VERSION"],
    description="Three-phase phasor measurement unit (class P): the measurement model in Python",
    packages=["orvane"],
    package_data={"orvane": ["*.so", "*.mexa64"]},
    python_requires="==%s.*" % os.environ["ORVANE_PYTHON_VERSION"],
    install_requires=["numpy"],
    zip_safe=False,
    distclass=CompiledDistribution,
)
