// The physics world lands here.
