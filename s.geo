SetFactory("OpenCASCADE");
Sphere(1) = {0.5, -0.25, 0, 1.5};
Physical Surface("electrode") = {1};
Mesh.MeshSizeMax = 0.4;
